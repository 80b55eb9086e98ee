// Both classes driven from JScript, which passes every argument by value (never a reference to
// a variable): creation by ProgID, property defaults and lets, commands with literal arguments
// against the simulated line (objects.frames), and automation errors as JScript sees them.

function lineAttend() {
  var a = new ActiveXObject("Solvard.Attend");
  a.CommPortID = SIM_PORT;
  return a;
}
function lineProhibit() {
  var p = new ActiveXObject("Solvard.Prohibit");
  p.CommPortID = SIM_PORT;
  return p;
}

run("DefaultsOfBothClasses", function () {
  var rows = [
    ["Solvard.Attend", "CommPortID", 0], ["Solvard.Attend", "CommBautRate", 9600],
    ["Solvard.Attend", "CommInBufferSize", 1024], ["Solvard.Attend", "CommOutBufferSize", 512],
    ["Solvard.Attend", "ConnectString", ""],
    ["Solvard.Prohibit", "CommPortID", 0], ["Solvard.Prohibit", "CommBautRate", 9600],
    ["Solvard.Prohibit", "CommInBufferSize", 1024], ["Solvard.Prohibit", "CommOutBufferSize", 512]
  ];
  for (var i = 0; i < rows.length; i++) {
    var o = new ActiveXObject(rows[i][0]);
    expect(rows[i][0] + "." + rows[i][1], o[rows[i][1]], rows[i][2]);
  }
});

run("LetsWithZeroMeaningDefault", function () {
  var rows = [
    ["Solvard.Attend", "CommBautRate", 0, 9600], ["Solvard.Attend", "CommBautRate", -1, -1],
    ["Solvard.Attend", "CommOutBufferSize", 0, 512], ["Solvard.Attend", "CommInBufferSize", 0, 1024],
    ["Solvard.Prohibit", "CommBautRate", 0, 9600], ["Solvard.Prohibit", "CommBautRate", 2400, 2400],
    ["Solvard.Prohibit", "CommOutBufferSize", 0, 512], ["Solvard.Prohibit", "CommPortID", 12, 12]
  ];
  for (var i = 0; i < rows.length; i++) {
    var o = new ActiveXObject(rows[i][0]);
    o[rows[i][1]] = rows[i][2];
    expect(rows[i][0] + "." + rows[i][1] + " = " + rows[i][2], o[rows[i][1]], rows[i][3]);
  }
});

run("UnknownProgIdIsNotCreated", function () {
  // 429: the class is not registered under that name.
  expectError("new ActiveXObject(\"Solvard.Door\")", function () { new ActiveXObject("Solvard.Door"); },
              429, "Automation server can't create object");
});

run("DoorCommandsWithLiteralArguments", function () {
  var p = lineProhibit();
  expect("OpenLock", p.OpenLock(DOOR_MACHINE), true);
  expect("GetLockState", p.GetLockState(DOOR_MACHINE), 1);
  // By value, the adjusted values cannot come back; the terminal still receives them.
  expect("SetResetDelay(3, 300)", p.SetResetDelay(DOOR_MACHINE, 300), true);
  expect("SetLockMode(3, 7)", p.SetLockMode(DOOR_MACHINE, 7), true);
  expect("SetMacTime", p.SetMacTime(DOOR_MACHINE, "23:59:58"), true);
  expect("DeleteLockList", p.DeleteLockList(DOOR_MACHINE, "4242"), true);
  expect("GetID", p.GetID(DOOR_MACHINE), "0000000000");
  expect("OpenLock(9)", p.OpenLock(SILENT_MACHINE), false);
});

run("AttendCommandsWithLiteralArguments", function () {
  var a = lineAttend();
  expect("ClearListInMac", a.ClearListInMac(ATTEND_MACHINE, 3), 1);
  expect("DelCardNo", a.DelCardNo(ATTEND_MACHINE, "000042"), 1);
  expect("AdjustTime", a.AdjustTime(ATTEND_MACHINE, "7:05:00"), 1);
  expect("GetOriginalCardNo", a.GetOriginalCardNo(ATTEND_MACHINE), "0000000000");
});

run("ErrorsCarryNumberAndDescription", function () {
  var p = new ActiveXObject("Solvard.Prohibit");
  expectError("OpenLock on port 0", function () { p.OpenLock(DOOR_MACHINE); }, 8002, "Invalid port number");
  p.CommPortID = SIM_PORT;
  expectError("OpenLock(\"abc\")", function () { p.OpenLock("abc"); }, 13, "Type mismatch");
  expectError("OpenLock(70000)", function () { p.OpenLock(70000); }, 6, "Overflow");
  var a = lineAttend();
  expectError("CommBautRate = 40000", function () { a.CommBautRate = 40000; }, 6, "Overflow");
  expect("CommBautRate after the failed let", a.CommBautRate, 9600);
});

finish();
