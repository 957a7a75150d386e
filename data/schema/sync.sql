-- Twinbook's own memory of the last synchronisation: one row per contact as
-- it stood when the last run ended. SpeedDial holds the contact's speed
-- dials as one tag text such as "W2:3,H:7,E:4".
--
-- No column is NOT NULL: Email may be null, and a null elsewhere is
-- reported by Twinbook itself as an error naming the row.
CREATE TABLE SyncContacts (
  ContactID INTEGER,
  Name TEXT,
  Work2 TEXT,
  DirectConnect TEXT,
  Home TEXT,
  Work1 TEXT,
  Mobile TEXT,
  Fax TEXT,
  Pager TEXT,
  Other TEXT,
  Email TEXT,
  SpeedDial TEXT
) STRICT;

CREATE INDEX SyncContacts_ContactID ON SyncContacts (ContactID);
