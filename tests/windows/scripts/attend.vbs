' Every Attend command against attendance terminal 5 on the simulated line: the results, the
' frames the terminal received (attend.frames), and that the script's variables are never
' written (the commands work on copies).

Function LineAttend()
  Dim a
  Set a = CreateObject("Solvard.Attend")
  a.CommPortID = SIM_PORT
  Set LineAttend = a
End Function

Sub EveryCommandReachesTheTerminal()
  Dim a, funcId, machine
  Set a = LineAttend()
  funcId = 9
  machine = ATTEND_MACHINE
  Expect "ClearMacData", a.ClearMacData(ATTEND_MACHINE), CLng(1)
  Expect "ClearListInMac", a.ClearListInMac(ATTEND_MACHINE, funcId), CLng(1)
  Expect "DelCardNo", a.DelCardNo(machine, 1234), CLng(1)
  Expect "SetCardFlowNo", a.SetCardFlowNo(ATTEND_MACHINE, "12", "12345"), CLng(1)
  Expect "AdjustDate", a.AdjustDate(ATTEND_MACHINE, DateSerial(2001, 6, 29)), CLng(1)
  Expect "AdjustTime", a.AdjustTime(ATTEND_MACHINE, "09:48:32"), CLng(1)
  Expect "GetOriginalCardNo", a.GetOriginalCardNo(ATTEND_MACHINE), "0000000000"
  Expect "FuncID after ClearListInMac", funcId, 9
  Expect "MachineNo after DelCardNo", machine, ATTEND_MACHINE
End Sub

' The card number may come as text or number; either is padded to six digits.
Sub CardNumbersArePadded()
  Dim a, machine
  Set a = LineAttend()
  machine = ATTEND_MACHINE
  Expect "DelCardNo(""77"")", a.DelCardNo(machine, "77"), CLng(1)
  Expect "DelCardNo(CLng(123456))", a.DelCardNo(machine, CLng(123456)), CLng(1)
End Sub

' Values the library refuses before anything is sent: 0, and nothing on the line.
Sub RefusedValuesSendNothing()
  Dim a, machine
  Set a = LineAttend()
  machine = ATTEND_MACHINE
  Expect "DelCardNo(""AB1234"")", a.DelCardNo(machine, "AB1234"), CLng(0)
  Expect "ClearMacData(261)", a.ClearMacData(ATTEND_MACHINE + 256), CLng(0)
  Expect "AdjustTime(""2001-06-29"")", a.AdjustTime(ATTEND_MACHINE, "2001-06-29"), CLng(0)
  Expect "MachineNo after the refusal", machine, ATTEND_MACHINE
End Sub

' A date given as text is read as a date.
Sub DateAsText()
  Dim a
  Set a = LineAttend()
  Expect "AdjustDate(""2002-12-31"")", a.AdjustDate(ATTEND_MACHINE, "2002-12-31"), CLng(1)
End Sub

BeginCase "EveryCommandReachesTheTerminal": On Error Resume Next: EveryCommandReachesTheTerminal: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "CardNumbersArePadded": On Error Resume Next: CardNumbersArePadded: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "RefusedValuesSendNothing": On Error Resume Next: RefusedValuesSendNothing: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "DateAsText": On Error Resume Next: DateAsText: EndCase Err.Number, Err.Description: On Error GoTo 0
Finish
