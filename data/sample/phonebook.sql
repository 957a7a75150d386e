-- Sample contacts for a first look at Twinbook: five contacts with two to
-- four numbers each, every number with its speed dial. Numbers use the 555
-- exchange kept for fiction. RingTone and Category are the manager's own
-- columns; Twinbook leaves them as they are.
INSERT INTO tblContactList
  (ContactID, ContactName, Number, NumberType, SpeedDial, PhoneNumberLength, RingTone, Category)
VALUES
  (1, 'Alvarez, Maria', '3125550142', 4, 1, 6, 'Chime', 1),
  (1, 'Alvarez, Maria', '3125550117', 2, 2, 6, 'Chime', 1),
  (1, 'Alvarez, Maria', 'maria.alvarez@example.com', 10, 3, 255, 'Standard', 1),
  (2, 'Brennan, Thomas', '3125550163', 3, 4, 6, 'Standard', 2),
  (2, 'Brennan, Thomas', '3125550178', 4, 5, 6, 'Standard', 2),
  (3, 'Chen, Wei', '3125550129', 4, 6, 6, 'Trill', 2),
  (3, 'Chen, Wei', '3125550184', 3, 7, 6, 'Trill', 2),
  (3, 'Chen, Wei', '3125550185', 0, 8, 6, 'Trill', 2),
  (3, 'Chen, Wei', 'wei.chen@example.org', 10, 9, 255, 'Trill', 2),
  (4, 'Dubois, Claire', '3125550136', 2, 10, 6, 'Standard', 0),
  (4, 'Dubois, Claire', '3125550151', 4, 11, 6, 'Standard', 0),
  (5, 'Okafor, Emeka', '164*12*3456', 1, 12, 255, 'Standard', 2),
  (5, 'Okafor, Emeka', '3125550190', 4, 13, 6, 'Standard', 2),
  (5, 'Okafor, Emeka', 'emeka.okafor@example.net', 10, 14, 255, 'Standard', 2);
