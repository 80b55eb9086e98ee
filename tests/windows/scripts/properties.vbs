' Properties of both classes as a script host sees them: defaults, the 0-means-default rule,
' conversion of what a script assigns, and which lets change the settings every Prohibit
' command uses (the library-wide ones) and which change only their own object.

Function NewAttend()
  Set NewAttend = CreateObject("Solvard.Attend")
End Function
Function NewProhibit()
  Set NewProhibit = CreateObject("Solvard.Prohibit")
End Function

Sub FreshAttendReadsDefaults()
  Dim a
  Set a = NewAttend()
  Expect "CommPortID", a.CommPortID, CInt(0)
  Expect "CommBautRate", a.CommBautRate, CInt(9600)
  Expect "CommInBufferSize", a.CommInBufferSize, CInt(1024)
  Expect "CommOutBufferSize", a.CommOutBufferSize, CInt(512)
  Expect "ConnectString", a.ConnectString, ""
End Sub

Sub FreshProhibitReadsDefaults()
  Dim p
  Set p = NewProhibit()
  Expect "CommPortID", p.CommPortID, CInt(0)
  Expect "CommBautRate", p.CommBautRate, CInt(9600)
  Expect "CommInBufferSize", p.CommInBufferSize, CInt(1024)
  Expect "CommOutBufferSize", p.CommOutBufferSize, CInt(512)
End Sub

' Lets the property named `name` of `o` to `value` and reads it back.
Function LetAndGet(o, name, value)
  Select Case name
    Case "CommPortID": o.CommPortID = value: LetAndGet = o.CommPortID
    Case "CommBautRate": o.CommBautRate = value: LetAndGet = o.CommBautRate
    Case "CommInBufferSize": o.CommInBufferSize = value: LetAndGet = o.CommInBufferSize
    Case "CommOutBufferSize": o.CommOutBufferSize = value: LetAndGet = o.CommOutBufferSize
  End Select
End Function

' Each row: property, value let, value read back. Every let is stored as given except 0,
' which stands for the default; no range is checked.
Sub AttendLetsStoreWithZeroMeaningDefault()
  Dim rows, r, a
  rows = Array( _
    Array("CommBautRate", 0, 9600), Array("CommBautRate", 19200, 19200), _
    Array("CommBautRate", -1, -1), Array("CommInBufferSize", 0, 1024), _
    Array("CommInBufferSize", 2048, 2048), Array("CommOutBufferSize", 0, 512), _
    Array("CommOutBufferSize", -5, -5), Array("CommPortID", 0, 0), Array("CommPortID", -3, -3), _
    Array("CommPortID", 32767, 32767))
  For Each r In rows
    Set a = NewAttend()
    Expect "Attend." & r(0) & " = " & r(1), LetAndGet(a, r(0), CInt(r(1))), CInt(r(2))
  Next
End Sub

Sub ProhibitLetsStoreWithZeroMeaningDefault()
  Dim rows, r, p
  rows = Array( _
    Array("CommBautRate", 0, 9600), Array("CommBautRate", 4800, 4800), _
    Array("CommOutBufferSize", 0, 512), Array("CommOutBufferSize", 100, 100), _
    Array("CommPortID", 0, 0), Array("CommPortID", -3, -3))
  For Each r In rows
    Set p = NewProhibit()
    Expect "Prohibit." & r(0) & " = " & r(1), LetAndGet(p, r(0), CInt(r(1))), CInt(r(2))
  Next
End Sub

' Two objects of a class keep their own values.
Sub ValuesArePerObject()
  Dim a, b
  Set a = NewAttend()
  Set b = NewAttend()
  a.CommBautRate = 2400
  a.ConnectString = "Driver=SQLite3;Database=x.db"
  Expect "first object's rate", a.CommBautRate, CInt(2400)
  Expect "second object's rate", b.CommBautRate, CInt(9600)
  Expect "first object's connection text", a.ConnectString, "Driver=SQLite3;Database=x.db"
  Expect "second object's connection text", b.ConnectString, ""
End Sub

' What a script assigns is converted to a 16-bit integer as VBScript itself would: numeric text
' and fractions (rounded half to even) are accepted; a failed let stores nothing.
Sub LetAttendRate(value, expectedNumber, expectedDescription, expectedStored)
  Dim a, n, d
  Set a = NewAttend()
  a.CommBautRate = 1
  On Error Resume Next
  a.CommBautRate = value
  n = Err.Number: d = Err.Description: Err.Clear
  On Error GoTo 0
  ExpectError "CommBautRate = " & Shown(value), n, d, expectedNumber, expectedDescription
  Expect "CommBautRate after = " & Shown(value), a.CommBautRate, CInt(expectedStored)
End Sub

Sub AssignedValuesAreConverted()
  Dim rows, r
  rows = Array( _
    Array("19200", 0, "", 19200), Array(" 2400 ", 0, "", 2400), Array(2.5, 0, "", 2), _
    Array(3.5, 0, "", 4), Array(True, 0, "", -1), Array("abc", 13, "Type mismatch", 1), _
    Array(40000, 6, "Overflow", 1), Array(CLng(-32769), 6, "Overflow", 1))
  For Each r In rows
    LetAttendRate r(0), r(1), r(2), r(3)
  Next
End Sub

Sub ProhibitInBufferSizeHasNoLet()
  Dim p, n, d
  Set p = NewProhibit()
  On Error Resume Next
  p.CommInBufferSize = 2048
  n = Err.Number: d = Err.Description: Err.Clear
  On Error GoTo 0
  ExpectError "CommInBufferSize = 2048", n, d, 438, "Object doesn't support this property or method"
  Expect "CommInBufferSize", p.CommInBufferSize, CInt(1024)
End Sub

' GetLanRes takes a module handle as a 32-bit value and cannot be read. Only 0 is let here: it
' is the handle a script host has anyway (the host program itself).
Sub LetLanRes(o, value, expectedNumber, expectedDescription)
  Dim n, d
  On Error Resume Next
  o.GetLanRes = value
  n = Err.Number: d = Err.Description: Err.Clear
  On Error GoTo 0
  ExpectError "GetLanRes = " & Shown(value), n, d, expectedNumber, expectedDescription
End Sub

Sub ReadLanRes(o)
  Dim n, d, v
  On Error Resume Next
  v = o.GetLanRes
  n = Err.Number: d = Err.Description: Err.Clear
  On Error GoTo 0
  ExpectError "reading GetLanRes", n, d, 438, "Object doesn't support this property or method"
End Sub

Sub GetLanResIsWriteOnly()
  Dim a, p
  Set a = NewAttend()
  Set p = NewProhibit()
  LetLanRes a, 0, 0, ""
  LetLanRes p, CLng(0), 0, ""
  LetLanRes a, "abc", 13, "Type mismatch"
  LetLanRes p, 2147483648, 6, "Overflow"
  ReadLanRes a
  ReadLanRes p
End Sub

' A Prohibit command runs on the library-wide port, which the Prohibit's port let sets.
Sub ProhibitPortLetReachesItsCommands()
  Dim p
  Set p = NewProhibit()
  p.CommPortID = SIM_PORT
  Expect "OpenLock on the simulator", p.OpenLock(DOOR_MACHINE), True
End Sub

' Creating any object puts the library-wide port back to 0: the Prohibit keeps its own
' CommPortID, but its next command is refused until the port is let again.
Sub CreatingAnObjectResetsTheLibraryPort()
  Dim p, other, n, d
  Set p = NewProhibit()
  p.CommPortID = SIM_PORT
  Set other = NewAttend()
  Expect "CommPortID kept by the object", p.CommPortID, CInt(SIM_PORT)
  On Error Resume Next
  p.OpenLock DOOR_MACHINE
  n = Err.Number: d = Err.Description: Err.Clear
  On Error GoTo 0
  ExpectError "OpenLock after creating an Attend", n, d, 8002, "Invalid port number"
  p.CommPortID = SIM_PORT
  Expect "OpenLock once the port is let again", p.OpenLock(DOOR_MACHINE), True
  Set other = NewProhibit()
  On Error Resume Next
  p.OpenLock DOOR_MACHINE
  n = Err.Number: d = Err.Description: Err.Clear
  On Error GoTo 0
  ExpectError "OpenLock after creating a Prohibit", n, d, 8002, "Invalid port number"
End Sub

' One Prohibit's rate let is the rate every Prohibit command uses: a rate the port refuses,
' let on one object, stops another object's command before anything is sent.
Sub ProhibitRateLetIsLibraryWide()
  Dim p, q, n, d
  Set p = NewProhibit()
  Set q = NewProhibit()
  q.CommPortID = SIM_PORT
  p.CommBautRate = -1
  Expect "q's own rate", q.CommBautRate, CInt(9600)
  On Error Resume Next
  q.OpenLock DOOR_MACHINE
  n = Err.Number: d = Err.Description: Err.Clear
  On Error GoTo 0
  ExpectError "q.OpenLock after p.CommBautRate = -1", n, d, 380, "Invalid property value"
  p.CommBautRate = 0
  Expect "q.OpenLock after p.CommBautRate = 0", q.OpenLock(DOOR_MACHINE), True
End Sub

' An Attend's rate is its own: it stops its own commands, not a Prohibit's.
Sub AttendRateLetIsItsOwn()
  Dim a, p, n, d
  Set a = NewAttend()
  Set p = NewProhibit()
  p.CommPortID = SIM_PORT
  a.CommPortID = SIM_PORT
  a.CommBautRate = -1
  Expect "Prohibit's OpenLock", p.OpenLock(DOOR_MACHINE), True
  On Error Resume Next
  a.ClearMacData ATTEND_MACHINE
  n = Err.Number: d = Err.Description: Err.Clear
  On Error GoTo 0
  ExpectError "Attend's ClearMacData at rate -1", n, d, 380, "Invalid property value"
  a.CommBautRate = 9600
  Expect "Attend's ClearMacData at 9600", a.ClearMacData(ATTEND_MACHINE), CLng(1)
End Sub

BeginCase "FreshAttendReadsDefaults": On Error Resume Next: FreshAttendReadsDefaults: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "FreshProhibitReadsDefaults": On Error Resume Next: FreshProhibitReadsDefaults: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "AttendLetsStoreWithZeroMeaningDefault": On Error Resume Next: AttendLetsStoreWithZeroMeaningDefault: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "ProhibitLetsStoreWithZeroMeaningDefault": On Error Resume Next: ProhibitLetsStoreWithZeroMeaningDefault: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "ValuesArePerObject": On Error Resume Next: ValuesArePerObject: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "AssignedValuesAreConverted": On Error Resume Next: AssignedValuesAreConverted: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "ProhibitInBufferSizeHasNoLet": On Error Resume Next: ProhibitInBufferSizeHasNoLet: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "GetLanResIsWriteOnly": On Error Resume Next: GetLanResIsWriteOnly: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "ProhibitPortLetReachesItsCommands": On Error Resume Next: ProhibitPortLetReachesItsCommands: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "CreatingAnObjectResetsTheLibraryPort": On Error Resume Next: CreatingAnObjectResetsTheLibraryPort: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "ProhibitRateLetIsLibraryWide": On Error Resume Next: ProhibitRateLetIsLibraryWide: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "AttendRateLetIsItsOwn": On Error Resume Next: AttendRateLetIsItsOwn: EndCase Err.Number, Err.Description: On Error GoTo 0
Finish
