-- The attendance download's tables. Every record read from a terminal becomes a row of
-- WorkCardSource; WorkCardReadTime is emptied and refilled for each record, so it holds the last
-- record read. The values are text: the machine number, the card number (six digits), the date
-- (yyyy-MM-dd) and the time (hh:mm:00). 32 characters hold even what malformed terminal bytes
-- decode to.
if object_id(N'WorkCardSource', N'U') is null
  create table WorkCardSource (
    MachineNo varchar(32),
    CardNo varchar(32),
    CardDate varchar(32),
    CardTime varchar(32)
  );

if object_id(N'WorkCardReadTime', N'U') is null
  create table WorkCardReadTime (
    MachineNo varchar(32),
    CardNo varchar(32),
    CardDate varchar(32),
    CardTime varchar(32)
  );
