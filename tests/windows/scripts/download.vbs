' Downloads into SQLite files through ODBC. Attendance terminal 5 and door terminal 3 each hold
' three sample records; the runner reads the tables back afterwards (download.tables) and compares
' the frames (download.frames). Databases are given by Unix path: under Wine the driver is a
' Unix one and takes the name as given.

Function DatabaseText(file)
  DatabaseText = "Driver=SQLite3;Database=" & TestDir() & "/db/" & file
End Function

Sub AttendDownloadFillsBothTables()
  Dim a
  Set a = CreateObject("Solvard.Attend")
  a.CommPortID = SIM_PORT
  a.ConnectString = DatabaseText("attend.db")
  Expect "ConnectString", a.ConnectString, DatabaseText("attend.db")
  Expect "GetMacData", a.GetMacData(ATTEND_MACHINE), CLng(3)
End Sub

' After the terminal's records are cleared there is nothing to download: 0 and message 61209.
Sub AttendDownloadOfAnEmptyTerminal()
  Dim a
  Set a = CreateObject("Solvard.Attend")
  a.CommPortID = SIM_PORT
  a.ConnectString = DatabaseText("attend.db")
  Expect "ClearMacData", a.ClearMacData(ATTEND_MACHINE), CLng(1)
  Expect "GetMacData", a.GetMacData(ATTEND_MACHINE), CLng(0)
End Sub

' The door terminal gives up each record as it is acknowledged: the first download writes
' three rows and ends with "ISEND", the next finds none.
Sub DoorDownloadIntoANamedTable()
  Dim p, conn, table
  Set p = CreateObject("Solvard.Prohibit")
  p.CommPortID = SIM_PORT
  conn = DatabaseText("door.db")
  table = "DoorRecords"
  Expect "GetRegisterData", p.GetRegisterData(DOOR_MACHINE, conn, table), "ISEND"
  Expect "iConnectString after", conn, DatabaseText("door.db")
  Expect "iTable after", table, "DoorRecords"
  Expect "GetRegisterData again", p.GetRegisterData(DOOR_MACHINE, conn, table), "NODATA"
End Sub

BeginCase "AttendDownloadFillsBothTables": On Error Resume Next: AttendDownloadFillsBothTables: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "AttendDownloadOfAnEmptyTerminal": On Error Resume Next: AttendDownloadOfAnEmptyTerminal: EndCase Err.Number, Err.Description: On Error GoTo 0
BeginCase "DoorDownloadIntoANamedTable": On Error Resume Next: DoorDownloadIntoANamedTable: EndCase Err.Number, Err.Description: On Error GoTo 0
Finish
