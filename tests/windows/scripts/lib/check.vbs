' Shared checks for the VBScript suites. The runner puts this file in front of each suite.
' Wine's VBScript has no Execute, ExecuteGlobal or GetRef, so each case is called by name from
' the suite's top level (one line per case, never in a loop under On Error Resume Next), and an
' error a case does not expect ends that case only and is counted against it.
Option Explicit

Dim failures, caseName, caseFailures, casesRun
failures = 0
casesRun = 0

' The simulator answers on COM1; COM7 leads to a device that is not there.
Const SIM_PORT = 1
Const MISSING_PORT = 7
' Terminals the simulator plays, and a number nobody answers to.
Const ATTEND_MACHINE = 5
Const DOOR_MACHINE = 3
Const SILENT_MACHINE = 9

' The run's own folder (Unix path): the databases live in its db folder.
Function TestDir()
  TestDir = CreateObject("WScript.Shell").Environment("PROCESS")("SOLVARD_TEST_DIR")
End Function

Sub BeginCase(name)
  caseName = name
  caseFailures = 0
  casesRun = casesRun + 1
End Sub

' Closes the case: an error still pending is one the case did not expect.
Sub EndCase(number, description)
  If number <> 0 Then Fail "unexpected error " & number & " (" & description & ")"
  If caseFailures = 0 Then WScript.Echo "ok " & caseName
End Sub

Sub Fail(what)
  failures = failures + 1
  caseFailures = caseFailures + 1
  WScript.Echo "FAIL " & caseName & ": " & what
End Sub

Function Shown(v)
  If IsNull(v) Then
    Shown = "Null"
  ElseIf IsEmpty(v) Then
    Shown = "Empty"
  ElseIf IsObject(v) Then
    Shown = "(" & TypeName(v) & " object)"
  ElseIf VarType(v) = vbString Then
    Shown = """" & v & """ (String)"
  Else
    Shown = CStr(v) & " (" & TypeName(v) & ")"
  End If
End Function

' The value and its automation type must both match: a 16-bit property must come back as
' Integer, a command's count as Long, a door command's result as Boolean.
Sub Expect(what, actual, expected)
  If IsObject(actual) Or IsNull(actual) Or IsEmpty(actual) Then
    Fail what & ": got " & Shown(actual) & ", expected " & Shown(expected)
  ElseIf TypeName(actual) <> TypeName(expected) Then
    Fail what & ": got " & Shown(actual) & ", expected " & Shown(expected)
  ElseIf actual <> expected Then
    Fail what & ": got " & Shown(actual) & ", expected " & Shown(expected)
  End If
End Sub

' An automation error as the host sees it: number and description, exactly.
Sub ExpectError(what, number, description, expectedNumber, expectedDescription)
  If number <> expectedNumber Or description <> expectedDescription Then
    Fail what & ": error " & number & " """ & description & """, expected " & _
         expectedNumber & " """ & expectedDescription & """"
  End If
End Sub

Sub Finish()
  WScript.Echo "CASES=" & casesRun
  WScript.Echo "FAILURES=" & failures
End Sub
