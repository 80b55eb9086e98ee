' How failures reach a script: the operator message each one shows and the library's log line
' that says why (the runner compares both with errors.messages), the result the method returns,
' and the automation errors that reach Err.Number and Err.Description. Also what reaches the line
' (errors.frames): a refused call sends nothing. No script selects a language module (VBScript
' cannot load one), so each message is looked up in the host program itself, which has no
' string table: the box shows its title and an empty text.

' A port mapped to a device that is not there. An attendance command does not test its open:
' it waits for an answer that cannot come, shows 61204 and gives 0. The card-number query tests
' its open: 61206 and empty text.
Sub AttendOnAMissingPort()
  Dim a
  Set a = CreateObject("Solvard.Attend")
  a.CommPortID = MISSING_PORT
  Expect "ClearMacData on COM7", a.ClearMacData(ATTEND_MACHINE), CLng(0)
  Expect "GetOriginalCardNo on COM7", a.GetOriginalCardNo(ATTEND_MACHINE), ""
End Sub

' The same for a Prohibit: false, and -1 from GetLockState; each shows 61206. The in/out
' argument is adjusted and written back although nothing reaches a terminal.
Sub ProhibitOnAMissingPortShowsCannotOpen()
  Dim p, t
  Set p = CreateObject("Solvard.Prohibit")
  p.CommPortID = MISSING_PORT
  Expect "OpenLock on COM7", p.OpenLock(DOOR_MACHINE), False
  Expect "GetLockState on COM7", p.GetLockState(DOOR_MACHINE), CLng(-1)
  t = -7
  Expect "SetResetDelay on COM7", p.SetResetDelay(DOOR_MACHINE, t), False
  Expect "iTime written back", t, CInt(5)
End Sub

' Nobody answers terminal 9: an attendance command shows 61204 and gives 0; a door command
' gives false without a message.
Sub SilentTerminal()
  Dim a, p
  Set a = CreateObject("Solvard.Attend")
  Set p = CreateObject("Solvard.Prohibit")
  a.CommPortID = SIM_PORT
  p.CommPortID = SIM_PORT
  Expect "Attend.ClearMacData(9)", a.ClearMacData(SILENT_MACHINE), CLng(0)
  Expect "Prohibit.OpenLock(9)", p.OpenLock(SILENT_MACHINE), False
  Expect "Prohibit.GetLockState(9)", p.GetLockState(SILENT_MACHINE), CLng(0)
  Expect "Attend.GetOriginalCardNo(9)", a.GetOriginalCardNo(SILENT_MACHINE), ""
End Sub

' Port 0 is refused when a door command applies it, before anything is sent.
Sub ProhibitOnPortZeroRaisesInvalidPortNumber()
  Dim p, n, d
  Set p = CreateObject("Solvard.Prohibit")
  On Error Resume Next
  p.OpenLock DOOR_MACHINE
  n = Err.Number: d = Err.Description: Err.Clear
  On Error GoTo 0
  ExpectError "Prohibit.OpenLock on port 0", n, d, 8002, "Invalid port number"
End Sub

' An attendance command passes over a port number the port refuses and runs on the port the
' last command set (here COM1): terminal 5 receives the frame.
Sub AttendOnPortZeroRunsOnThePortLastSet()
  Dim a
  Set a = CreateObject("Solvard.Attend")
  Expect "CommPortID", a.CommPortID, CInt(0)
  Expect "ClearMacData on port 0", a.ClearMacData(ATTEND_MACHINE), CLng(1)
End Sub

' CallOne runs one call that must fail; each row: object, method, arguments, error.
Sub CallOne(o, method, arg1, arg2, expectedNumber, expectedDescription)
  Dim n, d
  On Error Resume Next
  Select Case method
    Case "ClearMacData": o.ClearMacData arg1
    Case "OpenLock": o.OpenLock arg1
    Case "OpenLockNoArgument": o.OpenLock
    Case "OpenLockTwoArguments": o.OpenLock arg1, arg2
    Case "GetLockState": o.GetLockState arg1
    Case "SetLockMode": o.SetLockMode arg1, arg2
    Case "NoSuchMember": o.NoSuchMember arg1
    Case "AdjustDate": o.AdjustDate arg1, arg2
  End Select
  n = Err.Number: d = Err.Description: Err.Clear
  On Error GoTo 0
  ExpectError method & "(" & Shown(arg1) & ", " & Shown(arg2) & ")", n, d, expectedNumber, expectedDescription
End Sub

' Arguments that cannot become the parameter's type, and calls the interface does not have,
' fail as automation errors; nothing reaches the line.
Sub BadCallsRaiseAutomationErrors()
  Dim a, p
  Set a = CreateObject("Solvard.Attend")
  Set p = CreateObject("Solvard.Prohibit")
  a.CommPortID = SIM_PORT
  p.CommPortID = SIM_PORT
  CallOne a, "ClearMacData", "abc", Empty, 13, "Type mismatch"
  CallOne a, "ClearMacData", 40000, Empty, 6, "Overflow"
  CallOne p, "OpenLock", "x3", Empty, 13, "Type mismatch"
  CallOne p, "GetLockState", -32769, Empty, 6, "Overflow"
  CallOne p, "SetLockMode", DOOR_MACHINE, "mode", 13, "Type mismatch"
  CallOne a, "AdjustDate", ATTEND_MACHINE, "not a date", 13, "Type mismatch"
  CallOne p, "OpenLockNoArgument", Empty, Empty, 450, "Wrong number of arguments or invalid property assignment"
  CallOne p, "OpenLockTwoArguments", DOOR_MACHINE, 1, 450, "Wrong number of arguments or invalid property assignment"
  CallOne p, "NoSuchMember", 1, Empty, 438, "Object doesn't support this property or method"
End Sub

' A connection text no driver answers: -1, and the terminal is not asked for anything.
Sub DownloadIntoADatabaseThatCannotOpen()
  Dim a
  Set a = CreateObject("Solvard.Attend")
  a.CommPortID = SIM_PORT
  a.ConnectString = "Driver={No Such Driver};Database=" & TestDir() & "/db/none.db"
  Expect "GetMacData", a.GetMacData(ATTEND_MACHINE), CLng(-1)
End Sub

BeginCase "AttendOnAMissingPort": On Error Resume Next: AttendOnAMissingPort: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "ProhibitOnAMissingPortShowsCannotOpen": On Error Resume Next: ProhibitOnAMissingPortShowsCannotOpen: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "SilentTerminal": On Error Resume Next: SilentTerminal: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "ProhibitOnPortZeroRaisesInvalidPortNumber": On Error Resume Next: ProhibitOnPortZeroRaisesInvalidPortNumber: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "AttendOnPortZeroRunsOnThePortLastSet": On Error Resume Next: AttendOnPortZeroRunsOnThePortLastSet: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "BadCallsRaiseAutomationErrors": On Error Resume Next: BadCallsRaiseAutomationErrors: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "DownloadIntoADatabaseThatCannotOpen": On Error Resume Next: DownloadIntoADatabaseThatCannotOpen: EndCase Err.Number, Err.Description: On Error GoTo 0
Finish
