// Shared checks for the JScript suites. The runner puts this file in front of each suite.
// Each case is a function run by run(name, fn): an exception the case does not expect ends that
// case only and is counted against it.
var failures = 0, casesRun = 0, caseName = "", caseFailures = 0;

// The simulator answers on COM1; COM7 leads to a device that is not there.
var SIM_PORT = 1, MISSING_PORT = 7;
// Terminals the simulator plays, and a number nobody answers to.
var ATTEND_MACHINE = 5, DOOR_MACHINE = 3, SILENT_MACHINE = 9;

// The run's own folder (Unix path): the databases live in its db folder.
function testDir() {
  return new ActiveXObject("WScript.Shell").Environment("PROCESS").Item("SOLVARD_TEST_DIR");
}

function fail(what) {
  failures++;
  caseFailures++;
  WScript.Echo("FAIL " + caseName + ": " + what);
}

function shown(v) {
  if (v === null) return "null";
  if (typeof v === "string") return "\"" + v + "\" (string)";
  return String(v) + " (" + typeof v + ")";
}

// Value and type must both match (a door command's result is a boolean, a count a number).
function expect(what, actual, expected) {
  if (typeof actual !== typeof expected || actual !== expected)
    fail(what + ": got " + shown(actual) + ", expected " + shown(expected));
}

// Runs `call`, which must raise the automation error numbered `number` (as JScript shows it: the
// HRESULT 0x800A0000 + number, a negative value) with exactly `description`.
function expectError(what, call, number, description) {
  try {
    call();
  } catch (e) {
    var expectedNumber = (0x800A0000 | number);
    if (e.number !== expectedNumber || e.description !== description)
      fail(what + ": error " + e.number + " (" + (e.number & 0xFFFF) + ") \"" + e.description +
           "\", expected " + expectedNumber + " (" + number + ") \"" + description + "\"");
    return;
  }
  fail(what + ": no error, expected " + number + " \"" + description + "\"");
}

function run(name, fn) {
  caseName = name;
  caseFailures = 0;
  casesRun++;
  try {
    fn();
  } catch (e) {
    fail("unexpected error " + e.number + " (" + (e.number & 0xFFFF) + ") \"" + e.description + "\"");
  }
  if (caseFailures === 0) WScript.Echo("ok " + caseName);
}

function finish() {
  WScript.Echo("CASES=" + casesRun);
  WScript.Echo("FAILURES=" + failures);
}
