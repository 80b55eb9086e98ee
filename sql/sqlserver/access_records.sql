-- A table for the access-control record download, which writes one row per record into the
-- table the host names: the card number (ten digits), the date (yyyy-MM-dd) and the time
-- (hh:mm), as text. Rename AccessRecords to the name the host passes.
if object_id(N'AccessRecords', N'U') is null
  create table AccessRecords (
    CardNo varchar(32),
    RecordDate varchar(32),
    RecordTime varchar(32)
  );
