#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz harnesses into fuzz/corpus/<target>/.

Each seed is a small input the harness reads the way its comment describes: replies and records
as the terminals send them, request lines as hosts write them, the project's own language
modules, typical connection texts, table names and dates. Run it again after changing a
harness's input layout; inputs the fuzzer found (regression-*) are not touched.
"""
import pathlib

ROOT = pathlib.Path(__file__).resolve().parent
CORPUS = ROOT / "corpus"


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    (folder / name).write_bytes(data)


def text(s, limit=255):
    b = s.encode("utf-8") if isinstance(s, str) else bytes(s)
    assert len(b) <= limit
    return bytes([len(b)]) + b


def answer(*pieces):
    """One frame's answer: (delay in 20 ms steps, bytes) pieces."""
    out = bytes([len(pieces)])
    for delay, data in pieces:
        assert len(data) < 64
        out += bytes([delay, len(data)]) + bytes(data)
    return out


# Attendance short commands: command, machine, two texts, then the answer to the one frame.
attend_cmds = {
    "clear-list-ack": (0, 1, "", "", answer((5, [1]))),
    "flow-no-ack": (1, 2, "000012", "0000012345", answer((5, [2]))),
    "card-number": (2, 1, "", "", answer((5, [1]), (10, [0, 0, 0x01, 0x23, 0x45, 0x67, 0x89]))),
    "card-number-cut": (2, 1, "", "", answer((5, [1]), (10, [0, 0, 0x01]))),
    "date-ack": (3, 4, "abc", "x", answer((5, [4]))),
    "time-ack": (4, 1, "09:48:32", "", answer((5, [1]))),
    "time-not-a-time": (4, 1, "nine", "", answer((5, [1]))),
    "clear-records-wrong-machine": (5, 1, "", "", answer((5, [9]))),
    "delete-card-ack": (6, 7, "1234", "", answer((5, [7]))),
    "delete-card-silent": (6, 7, "001234", "", answer()),
    "delete-card-late": (6, 7, "001234", "", answer((255, [7]))),
    "refused-machine": (0x80, 0, "", "", answer((5, [0]))),
}
for name, (cmd, machine, first, second, ans) in attend_cmds.items():
    write("attend_exchanges", name, bytes([cmd, machine]) + text(first) + text(second) + ans)


def stored(card=(0x12, 0x34, 0x56), day=0x07, minute=0x30, end=0xAA):
    return bytes([*card, 0x01, 0x05, day, 0x08, minute, end])


def download_reply(machine, count, records):
    out = bytes([machine, count >> 8, count & 0xFF])
    for r in records:
        out += bytes([machine]) + r
    return out


# Attendance download: machine, database fault, then the answer to the request.
two = download_reply(1, 2, [stored(), stored(day=0x08, minute=0x45)])
write("attend_download", "two-records", bytes([1, 0]) + answer((5, two)))
write("attend_download", "no-records", bytes([1, 0]) + answer((5, download_reply(1, 0, []))))
write("attend_download", "records-in-pieces",
      bytes([2, 0]) + answer((5, download_reply(2, 3, [])), (20, bytes([2]) + stored()),
                             (40, bytes([2]) + stored(minute=0x31)),
                             (60, bytes([2]) + stored(minute=0x32))))
write("attend_download", "bad-end-mark",
      bytes([1, 0]) + answer((5, download_reply(1, 1, [stored(end=0x55), stored()]))))
write("attend_download", "count-cut", bytes([1, 0]) + answer((5, [1, 0])))
write("attend_download", "record-missing", bytes([1, 0]) + answer((5, download_reply(1, 2, [stored()]))))
write("attend_download", "insert-refused", bytes([1, 4]) + answer((5, two)))
write("attend_download", "session-lost", bytes([1, 0x24]) + answer((5, two)))
write("attend_download", "wrong-machine", bytes([1, 0]) + answer((5, [2, 0, 1])))


def word(n):
    return bytes([n >> 8, n & 0xFF])


def ack(machine):
    return answer((5, [machine, 2]))


# Access-control commands: command, machine, value, two texts, then the answers to two frames.
prohibit_cmds = {
    "identity": (0, 3, 0, "", "", answer((5, [3]), (10, [0x12, 0x34, 0x56, 0x78, 0x90, 0x00]))),
    "identity-cut": (0, 3, 0, "", "", answer((5, [3]), (10, [0x12, 0x34]))),
    "identity-wrong-machine": (0, 3, 0, "", "", answer((5, [4]), (10, [0] * 6))),
    "reset-delay": (1, 3, 300, "", "", ack(3)),
    "lock-mode": (2, 3, 1, "", "", ack(3)),
    "date-and-week": (3, 3, 0x050B, "abcdefghijklmnopqrstuvwx", "12345", ack(3)),
    "time": (4, 3, 0, "13:05:09", "", ack(3)),
    "open-list": (5, 3, 0x0501, "12345", "2001-06-29", ack(3)),
    "delete-from-list": (6, 3, 0, "12345", "", ack(3)),
    "unlock-state": (7, 3, 0, "", "", ack(3)),
    "clear-list-silent": (8, 3, 0, "", "", answer()),
    "clear-records": (9, 3, 0, "", "", ack(3)),
    "lock-state": (10, 3, 0, "", "", ack(3)),
    "open-lock-late": (11, 3, 0, "", "", answer((150, [3, 2]))),
    "identity-by-dispatch": (12, 3, 0, "3", "", answer((5, [3]), (10, [1, 2, 3, 4, 5, 6]))),
    "refused-machine": (11, 300, 0, "", "", ack(3)),
}
for name, (cmd, machine, value, first, second, ans) in prohibit_cmds.items():
    write("prohibit_exchanges", name,
          bytes([cmd]) + word(machine) + word(value) + text(first) + text(second) + ans)

R1 = [0x12, 0x34, 0x56, 0x78, 0x90, 0x01, 0x06, 0x29, 0x08, 0x05]
R2 = [0x00, 0x00, 0x01, 0x23, 0x45, 0x01, 0x06, 0x29, 0x17, 0x45]


def record_answer(record, status=(3, 1, 1)):
    return answer((5, list(status)), (15, record))


# Access-control download: machine, database fault, table choice (3: a name follows), answers.
write("prohibit_download", "two-records",
      word(3) + bytes([0, 0]) + record_answer(R1) + record_answer(R2) + answer((5, [3, 1, 0])))
write("prohibit_download", "no-data", word(3) + bytes([0, 0]) + answer((5, [3, 1, 0])))
write("prohibit_download", "record-cut", word(3) + bytes([0, 1]) + record_answer(R1[:6]))
write("prohibit_download", "silent-after-record",
      word(3) + bytes([0, 2]) + record_answer(R1) + answer())
write("prohibit_download", "row-refused",
      word(3) + bytes([2, 0]) + record_answer(R1) + record_answer(R2) + answer((5, [3, 1, 0])))
write("prohibit_download", "session-lost",
      word(3) + bytes([0x42, 0]) + record_answer(R1) + record_answer(R2) + answer((5, [3, 1, 0])))
write("prohibit_download", "quoted-table",
      word(3) + bytes([0, 3]) + text('"Access Records"') + record_answer(R1) + answer((5, [3, 1, 0])))
write("prohibit_download", "table-not-a-name",
      word(3) + bytes([0, 3]) + text("Records; drop table Records") + record_answer(R1))

requests = [
    '{"op":"create","class":"Prohibit","id":"p"}',
    '{"op":"let","id":"p","member":"CommBautRate","value":19200}',
    '{"op":"get","id":"p","member":"CommBautRate"}',
    '{"op":"call","id":"p","member":"SetResetDelay","args":[3,0]}',
    '{"op":"settings"}',
    '{"op":"device","port":5,"path":"/nonexistent/line"}',
    '{"op":"create","class":"Solvard.Attend","id":"a"}',
    '{"op":"call","id":"a","member":"ClearListInMac","args":[300,"17"]}',
    '{"op":"call","id":"a","member":"AdjustDate","args":[1,"2001-06-29"]}',
    '{"op":"call","id":"a","member":"AdjustTime","args":[1,"2001-06-29 13:05:09"]}',
    '{"op":"let","id":"a","member":"ConnectString","value":"attend.db"}',
    '{"op":"call","id":"a","member":"GetMacData","args":[1]}',
    '{"op":"call","id":"p","member":"SetOpenList","args":[3,"12345","2001-06-29","2002-12-31","08:30","17:45",1,5]}',
    '{"op":"call","id":"p","member":"GetID","args":[3]}',
    '{"op":"fly"}',
    '[1, 2.5e3, -0.0, true, false, null, "\\u00e9\\ud83d\\ude00\\n\\"\\\\"]',
    '{"a":{"b":[{}, [], ""]}, "c":"Записи"}',
]
for i, line in enumerate(requests):
    write("json_reader", f"line-{i:02d}", line)
write("session_line", "prohibit-session", "\n".join(requests[0:6]))
write("session_line", "attend-session", "\n".join(requests[6:12]))
write("session_line", "open-list", "\n".join([requests[0], requests[12], requests[13]]))
write("session_line", "not-json", "not json\n{}\n[]\n{\"op\":1}")

for rc in ("en.rc", "zh-CN.rc"):
    write("language_module", rc, (ROOT.parent / "lang" / rc).read_bytes())
write("language_module", "escapes.rc",
      '\ufeff#define X 1\n#pragma code_page(65001)\n/* comment */\nSTRINGTABLE PRELOAD DISCARDABLE\n'
      'LANGUAGE 9, 1\n{\n  0x10, L"tab\\tquote\\"\\x41\\101""end"\n  65535 "last"\n}\n')
write("language_module", "refused.rc", 'STRINGTABLE\nBEGIN\n  IDS_X "symbolic"\nEND\n')

for i, t in enumerate([
    "attend.db", "/var/lib/solvard/a;b.db", "{odd}.db", " spaced.db ",
    "Driver={PostgreSQL Unicode};Server=db1;Database=hr;Uid=hr;",
    "DSN=doors;UID=a;PWD={p;w}}d}",
    "Provider=MSDASQL;Data Source=doors;User ID=a;Password='x;y';Extended Properties=\"DSN=z\"",
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\db\\doors.mdb;Jet OLEDB:Database Password=pw",
    "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=\"C:\\a b\\doors.accdb\"",
    "Provider=SQLOLEDB;Data Source=srv;Initial Catalog=doors;Integrated Security=SSPI;Persist Security Info=False",
    "Provider=MSOLEDBSQL;Data Source=srv;User ID=sa;Password={a;b}",
    "Provider=Other;Data Source=x",
]):
    write("connection_text", f"text-{i:02d}", t)

for i, t in enumerate(["Records", "dbo.Records", "Записи", '"Access Records"', "[Access Records]",
                       "dbo.[Access Records]", "Re\u0301cords", "Records; drop table x",
                       "[a]]b]", '"a""b"', "x--y", "[a/*b*/]", "1Records", "a..b"]):
    write("table_name", f"name-{i:02d}", t)

for i, (choice, t) in enumerate([
    (0, "2001-06-29"), (0, "2001-06-29 13:05:09"), (1, "01/6/29"), (2, "  9:48 "),
    (3, "2001.6.29  23:59:59"), (0, "0099-1-1"), (0, "2001-02-29"), (2, "12345.5"),
    (2, "-1e300"), (3, "True"), (4, "yyyy-MM-dd2001-06-29"), (4, "hh:mm:ss13:05:09"),
    (4, "00000012345"), (5, "yyyy-MM-dd"), (5, "0000000000"),
]):
    write("date_text", f"text-{i:02d}", bytes([choice]) + t.encode("utf-8"))

# A device server's opening as ser2net sends it, its confirmations of 19200 8N1, a reply with a
# doubled 0xFF and a modem-state notice among the terminals' bytes, and a subnegotiation that
# never ends. The first byte picks the read size and whether binary is agreed first.
ser2net_opening = bytes([255, 251, 3, 255, 253, 3, 255, 251, 1, 255, 254, 1, 255, 253, 0,
                         255, 251, 0, 255, 253, 44])
confirmations = bytes([255, 250, 44, 101, 0, 0, 0x4B, 0x00, 255, 240, 255, 250, 44, 102, 8,
                       255, 240, 255, 250, 44, 103, 1, 255, 240, 255, 250, 44, 104, 1, 255, 240])
write("telnet_stream", "ser2net-opening", bytes([0x02]) + ser2net_opening + confirmations)
write("telnet_stream", "reply", bytes([0x83, 0x03, 255, 255, 255, 250, 44, 107, 0, 255, 240, 0x02]))
write("telnet_stream", "endless", bytes([0x01, 255, 250, 44, 101]) + b"x" * 100 + bytes([0x0D, 0]))

# The kept-records file: this release's lines (each with its CRC-32), one kept after a commit
# whose outcome was unknown, an earlier release's file, CRLF endings, and a cut line.
def kept_line(machine, record, occurrence, marker, device):
    import zlib
    fields = f"{machine} {record} {occurrence} {marker}"
    return f"{fields} {zlib.crc32((fields + ' ' + device).encode()):08x} {device}\n"


header = "solvard kept access records 2\n"
kept = kept_line(3, "12345678900106290805", "00000000000000a1", "-", "/dev/ttyUSB0")
write("kept_records", "one", header + kept)
write("kept_records", "unknown-commit",
      header + kept + kept_line(4, "00000000420301020607", "9f3c2b1a00000000", "731",
                                "tcp://door-server:4001"))
write("kept_records", "earlier-release", "3 12345678900106290805 /dev/ttyUSB0\n")
write("kept_records", "crlf", (header + kept).replace("\n", "\r\n"))
write("kept_records", "cut", header + kept[:30])

# The collector's config: the installed example, a small one with every key, and broken ones
# (TOML that does not parse, a control character, two lines on one device, a port number out of
# range, a backwards range, a key the config does not know, a value of the wrong type).
write("collect_config", "example", (ROOT.parent / "contrib" / "collect.toml").read_bytes())
every_key = ('database = "Driver=PostgreSQL Unicode;Server=db1;Database=attend"\nwarn_above = 50\n'
             '[[line]]\nname = "hall"\nport = "tcp://door-server:4001"\nbaud = 19200\n'
             '[[line.terminal]]\nkind = "attend"\nmachines = ["1-2", 7]\nclear = "after-commit"\n'
             'warn_above = 5\nname = "clocks"\n'
             '[[line]]\nport = "2"\n[[line.terminal]]\nkind = "door"\nmachines = 0\n'
             'pass_time = "90s"\n')
write("collect_config", "every-key", every_key)
write("collect_config", "not-toml", 'database = c.db\n[[line]\nport = "1"\n')
write("collect_config", "control-character",
      'database = "c.db"\n[[line]]\nport = "1"\nname = "a\\u0000b"\n'
      '[[line.terminal]]\nkind = "attend"\nmachines = 1\n')
write("collect_config", "one-device-twice",
      'database = "c.db"\n[[line]]\nport = "1"\n[[line.terminal]]\nkind = "door"\nmachines = 3\n'
      '[[line]]\nport = "/dev/ttyS0"\n[[line.terminal]]\nkind = "door"\nmachines = 4\n')
write("collect_config", "port-out-of-range",
      'database = "c.db"\n[[line]]\nport = "999"\n[[line.terminal]]\nkind = "door"\nmachines = 3\n')
write("collect_config", "backwards",
      'database = "c.db"\n[[line]]\nport = "1"\n[[line.terminal]]\nkind = "door"\nmachines = "5-1"\n')
write("collect_config", "unknown-key",
      'database = "c.db"\n[[line]]\nport = "1"\nbud = 9600\n'
      '[[line.terminal]]\nkind = "door"\nmachines = 3\n')
write("collect_config", "wrong-types",
      'database = 7\nline = [1, 2]\n')

# serve_request: a mode byte (0 an action's body, 1 a records query, 2 a token file), an
# action byte (an index into the harness's door actions), then the text.
ACTIONS = ["open", "hold-open", "delay", "mode", "clock", "allow", "deny", "clear-cards",
           "clear-records"]
for name, action, body in [
        ("delay", "delay", '{"seconds":7}'),
        ("delay-too-long", "delay", '{"seconds":999}'),
        ("mode", "mode", '{"mode":255}'),
        ("clock-now", "clock", '{"now":true}'),
        ("clock-date", "clock", '{"date":"2026-12-10","time":"08:15:00","weekday":"4"}'),
        ("allow", "allow", '{"card":"0000012345","from":"2026-01-01","to":"2026-12-31",'
                           '"start":"07:00","end":"19:00","weekdays":"1-5"}'),
        ("deny-control", "deny", '{"card":"12\\u0001"}'),
        ("open-unknown-key", "open", '{"force":true}')]:
    write("serve_request", "body-" + name, bytes([0, ACTIONS.index(action)]) + body.encode())
for name, query in [("all", "line=gate&machine=3&card=12345&from=2026-12-01&to=2026-12-31"
                            "&after=100&limit=50"),
                    ("bad-limit", "limit=0"), ("bad-date", "from=10.12.2026"),
                    ("unknown-line", "line=yard")]:
    write("serve_request", "query-" + name, bytes([1, 0]) + query.encode())
write("serve_request", "tokens",
      bytes([2, 0]) + b"# who may in\nops operate 0123456789abcdef\nwall read fedcba9876543210\n")
write("serve_request", "tokens-twice",
      bytes([2, 0]) + b"a read 0123456789abcdef\nb read 0123456789abcdef\n")
