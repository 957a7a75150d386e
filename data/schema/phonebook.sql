-- The PhoneBook Manager's table: one row per phone number or e-mail address
-- of a contact; a contact's rows share its ContactID and ContactName.
--
-- Twinbook reads and writes the first six columns. The columns after them
-- belong to the manager alone: Twinbook never names them, so they keep
-- whatever the manager stored (or their defaults in rows Twinbook adds).
--
-- No column is NOT NULL: the manager's own files may hold nulls, and
-- Twinbook reports those as errors of its own rather than having the
-- database refuse them.
CREATE TABLE tblContactList (
  ContactID INTEGER,
  ContactName TEXT,
  Number TEXT,
  NumberType INTEGER,          -- 0 secondary work, 1 direct connect, 2 home, 3 work,
                               -- 4 mobile, 5 fax, 6 pager, 9 other, 10 e-mail address
  SpeedDial INTEGER,
  PhoneNumberLength INTEGER,   -- a byte (0 to 255): the manager's code for the number's length
  RingTone TEXT DEFAULT 'Standard',
  Category INTEGER DEFAULT 0,
  Hidden INTEGER DEFAULT 0
) STRICT;

CREATE INDEX tblContactList_ContactID ON tblContactList (ContactID);
