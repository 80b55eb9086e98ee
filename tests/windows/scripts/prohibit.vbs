' Every Prohibit command against door terminal 3 on the simulated line: results, the frames the
' terminal received (prohibit.frames), and the in/out arguments the library adjusts and writes
' back into the script's variables.

Function LineProhibit()
  Dim p
  Set p = CreateObject("Solvard.Prohibit")
  p.CommPortID = SIM_PORT
  Set LineProhibit = p
End Function

Sub SimpleCommands()
  Dim p
  Set p = LineProhibit()
  Expect "OpenLock", p.OpenLock(DOOR_MACHINE), True
  Expect "GetLockState", p.GetLockState(DOOR_MACHINE), CLng(1)
  Expect "SetLockOpenState", p.SetLockOpenState(DOOR_MACHINE), True
  Expect "ClearOpenRecord", p.ClearOpenRecord(DOOR_MACHINE), True
  Expect "ClearOpenList", p.ClearOpenList(DOOR_MACHINE), True
  Expect "GetID", p.GetID(DOOR_MACHINE), "0000000000"
End Sub

' Each row: iTime given, iTime written back. The terminal takes 1 to 255 seconds; below 1 it
' gets the usual 5.
Sub ResetDelayIsAdjustedAndWrittenBack()
  Dim p, rows, r, t
  Set p = LineProhibit()
  rows = Array(Array(0, 5), Array(-7, 5), Array(1, 1), Array(30, 30), Array(256, 255), Array(300, 255))
  For Each r In rows
    t = CInt(r(0))
    Expect "SetResetDelay(3, " & r(0) & ")", p.SetResetDelay(DOOR_MACHINE, t), True
    Expect "iTime after " & r(0), t, CInt(r(1))
  Next
End Sub

' A lock mode is 255 or 0: anything but 255 becomes 0.
Sub LockModeIsAdjustedAndWrittenBack()
  Dim p, rows, r, m
  Set p = LineProhibit()
  rows = Array(Array(255, 255), Array(1, 0), Array(0, 0), Array(-1, 0))
  For Each r In rows
    m = CInt(r(0))
    Expect "SetLockMode(3, " & r(0) & ")", p.SetLockMode(DOOR_MACHINE, m), True
    Expect "iMod after " & r(0), m, CInt(r(1))
  Next
End Sub

Sub ClockCommands()
  Dim p, machine, d, week, t
  Set p = LineProhibit()
  machine = DOOR_MACHINE
  d = DateSerial(2001, 6, 29)
  week = 5
  t = "13:05:09"
  Expect "SetMacDateAndWeek", p.SetMacDateAndWeek(machine, d, week), True
  Expect "SetMacTime", p.SetMacTime(machine, t), True
  Expect "iDate after", d, DateSerial(2001, 6, 29)
  Expect "iFirstWeek after", week, 5
  Expect "iPara after", t, "13:05:09"
End Sub

' Card numbers are padded to ten digits and written back.
Sub OpenListCards()
  Dim p, card, other, firstDay, lastDay, start, finish, noStart, startWeek, endWeek
  Set p = LineProhibit()
  card = "12345": other = "777"
  firstDay = "2001-06-29": lastDay = "2002-12-31"
  start = "08:30": finish = "17:45": noStart = ""
  startWeek = 1: endWeek = 5
  Expect "SetOpenList 12345", p.SetOpenList(DOOR_MACHINE, card, firstDay, lastDay, start, finish, startWeek, endWeek), True
  Expect "iCardNo after", card, "0000012345"
  Expect "SetOpenList 777 without a start", p.SetOpenList(DOOR_MACHINE, other, firstDay, lastDay, noStart, finish, startWeek, endWeek), True
  Expect "iCardNo after", other, "0000000777"
  other = "777"
  Expect "DeleteLockList 777", p.DeleteLockList(DOOR_MACHINE, other), True
  Expect "iCardNo after DeleteLockList", other, "0000000777"
  Expect "iFirstYear after", firstDay, "2001-06-29"
  Expect "iStartWeek after", startWeek, 1
End Sub

BeginCase "SimpleCommands": On Error Resume Next: SimpleCommands: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "ResetDelayIsAdjustedAndWrittenBack": On Error Resume Next: ResetDelayIsAdjustedAndWrittenBack: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "LockModeIsAdjustedAndWrittenBack": On Error Resume Next: LockModeIsAdjustedAndWrittenBack: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "ClockCommands": On Error Resume Next: ClockCommands: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "OpenListCards": On Error Resume Next: OpenListCards: EndCase Err.Number, Err.Description: On Error GoTo 0
Finish
