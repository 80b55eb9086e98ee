// A door terminal's records into a table whose name needs quoting, from JScript, which passes
// the connection text and the table name by value. Door terminal 4 holds three sample records;
// the runner reads the table back afterwards (door-download.tables) and compares the frames
// (door-download.frames) and the library's log lines (door-download.messages).

function databaseText(file) {
  return "Driver=SQLite3;Database=" + testDir() + "/db/" + file;
}

var QUOTED_MACHINE = 4;

run("MissingTableAsksNothingOfTheTerminal", function () {
  var p = new ActiveXObject("Solvard.Prohibit");
  p.CommPortID = SIM_PORT;
  expect("GetRegisterData into NoSuchTable",
         p.GetRegisterData(QUOTED_MACHINE, databaseText("door.db"), "NoSuchTable"), "ERROR");
});

run("QuotedTableName", function () {
  var p = new ActiveXObject("Solvard.Prohibit");
  p.CommPortID = SIM_PORT;
  var conn = databaseText("door.db"), table = "\"Door Records\"";
  expect("GetRegisterData", p.GetRegisterData(QUOTED_MACHINE, conn, table), "ISEND");
  expect("connection text kept", conn, databaseText("door.db"));
  expect("table name kept", table, "\"Door Records\"");
  expect("GetRegisterData again", p.GetRegisterData(QUOTED_MACHINE, conn, table), "NODATA");
});

finish();
