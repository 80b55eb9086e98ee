#!/usr/bin/env python3
"""The automation interface as one description (src/component/interface.toml).

The IDL generated for the type library is read back and compared, member by member, with the
interface table the built library serves (`solvard interface --json`): interface, identifiers,
version, and per slot the DISPID, kind, name, parameters (name, type, in/out) and result. The
same comparison is run on copies of the IDL altered the ways a hand edit would drift, each of
which it must name; and descriptions the build cannot serve must be refused by the generator.

    interface_description_test.py SOLVARD_PROGRAM SOURCE_DIR [unittest options]
"""

from __future__ import annotations

import json
import re
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

PROGRAM: Path
SOURCE: Path

IDL_TYPES = {"short": "int16", "long": "int32", "BSTR": "text", "DATE": "date",
             "VARIANT": "variant", "VARIANT_BOOL": "boolean"}
FIRST_SLOT = 7


# ---- the IDL as a host's compiler reads it ------------------------------------------------------

def _attributes(text: str) -> dict[str, str]:
    """`[object, uuid(X), version(1.0), hidden]` -> {"object": "", "uuid": "X", ...}."""
    found = {}
    for item in re.finditer(r"(\w+)(?:\(([^)]*)\))?", text):
        found[item.group(1)] = item.group(2) or ""
    return found


def _signature(kind: str, name: str, dispid: int, params: list[tuple[str, str, bool]],
               returns: str) -> str:
    listed = ", ".join(f"{n}: {t}{' in/out' if by_ref else ''}" for n, t, by_ref in params)
    return f"{kind} {name} {dispid:08X} ({listed}) -> {returns}"


def read_idl(text: str) -> dict[str, dict]:
    """Per interface: iid, version, class and clsid (the coclass it is the default of), and the
    members' signatures in vtable order."""
    text = re.sub(r"//[^\n]*", "", text)
    interfaces: dict[str, dict] = {}
    for block in re.finditer(r"\[([^\[\]]*)\]\s*interface\s+(\w+)\s*:\s*IDispatch\s*\{(.*?)\};",
                             text, re.S):
        attrs = _attributes(block.group(1))
        members = []
        for line in re.finditer(r"\[([^\]]*)\]\s*HRESULT\s+(\w+)\s*\((.*?)\)\s*;", block.group(3),
                                re.S):
            member_attrs = _attributes(line.group(1))
            kind = ("let" if "propput" in member_attrs else
                    "get" if "propget" in member_attrs else "method")
            params, returns = [], "void"
            for p in re.finditer(r"\[([^\]]*)\]\s*(\w+)\s*(\*?)\s*(\w+)", line.group(3)):
                flags = {f.strip() for f in p.group(1).split(",")}
                idl_type = IDL_TYPES.get(p.group(2), p.group(2))
                if "retval" in flags:
                    returns = idl_type
                else:
                    params.append((p.group(4), idl_type, "out" in flags and p.group(3) == "*"))
            members.append(_signature(kind, line.group(2), int(member_attrs["id"], 16), params,
                                      returns))
        interfaces[block.group(2)] = {"iid": attrs.get("uuid", "").upper(),
                                      "version": attrs.get("version", ""), "class": None,
                                      "clsid": None, "class version": None, "members": members}
    for block in re.finditer(r"\[([^\[\]]*)\]\s*coclass\s+(\w+)\s*\{\s*\[default\]\s*interface"
                             r"\s+(\w+)\s*;", text):
        if block.group(3) in interfaces:
            interfaces[block.group(3)]["class"] = block.group(2)
            attrs = _attributes(block.group(1))
            interfaces[block.group(3)]["clsid"] = attrs.get("uuid", "").upper()
            interfaces[block.group(3)]["class version"] = attrs.get("version", "")
    return interfaces


def read_table(entries: list[dict]) -> dict[str, dict]:
    """`solvard interface --json` in the same form."""
    interfaces = {}
    for entry in entries:
        members = []
        for index, m in enumerate(entry["members"]):
            if m["slot"] != FIRST_SLOT + index:
                raise AssertionError(f"{entry['name']}: member {index} in slot {m['slot']}")
            params = [(p["name"], p["type"], p["direction"] == "in/out") for p in m["params"]]
            members.append(_signature(m["kind"], m["name"], int(m["dispid"], 16), params,
                                      m["returns"]))
        interfaces[entry["name"]] = {"iid": entry["iid"].strip("{}"), "version": entry["version"],
                                     "class": entry["class"], "clsid": entry["clsid"].strip("{}"),
                                     # a class carries its interface's version
                                     "class version": entry["version"], "members": members}
    return interfaces


def differences(idl: dict[str, dict], table: dict[str, dict]) -> list[str]:
    """Every way the IDL and the table disagree, one line each."""
    found = []
    for name in sorted(set(idl) | set(table)):
        if name not in table:
            found.append(f"{name}: in the IDL only")
            continue
        if name not in idl:
            found.append(f"{name}: in the table only")
            continue
        a, b = idl[name], table[name]
        for key in ("iid", "version", "class", "clsid", "class version"):
            if a[key] != b[key]:
                found.append(f"{name}: {key} {a[key]} in the IDL, {b[key]} in the table")
        for index in range(max(len(a["members"]), len(b["members"]))):
            left = a["members"][index] if index < len(a["members"]) else "nothing"
            right = b["members"][index] if index < len(b["members"]) else "nothing"
            if left != right:
                found.append(f"{name} slot {FIRST_SLOT + index}: {left} in the IDL, {right} in the "
                             "table")
    return found


# ---- running the pieces -------------------------------------------------------------------------

def generate(description: Path, identifiers: Path, out: Path, *what: str):
    args = [sys.executable, str(SOURCE / "src/component/generate_interface.py"), str(description),
            str(identifiers)]
    for kind in what:
        args += [f"--{kind}", str(out / kind)]
    return subprocess.run(args, capture_output=True, text=True, check=False)


def served_table() -> dict[str, dict]:
    done = subprocess.run([str(PROGRAM), "interface", "--json"], capture_output=True, text=True,
                          check=True)
    return read_table(json.loads(done.stdout))


class GeneratedIdlTest(unittest.TestCase):
    """The IDL widl compiles states what the library serves."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory()
        out = Path(cls.work.name)
        done = generate(SOURCE / "src/component/interface.toml",
                        SOURCE / "src/component/identifiers.hpp", out, "idl")
        if done.returncode != 0:
            raise AssertionError(f"the generator failed: {done.stderr}")
        cls.idl = (out / "idl").read_text()
        cls.table = served_table()

    @classmethod
    def tearDownClass(cls):
        cls.work.cleanup()

    def test_every_member_as_the_table_serves_it(self):
        idl = read_idl(self.idl)
        self.assertEqual(sorted(idl), ["_Attend", "_Prohibit"])
        self.assertEqual([len(idl[n]["members"]) for n in ("_Attend", "_Prohibit")], [19, 21])
        self.assertEqual(differences(idl, self.table), [])

    def test_library_block_and_alias(self):
        self.assertIn("  uuid(E7748ED4-D596-4FA5-A941-B8FB4ADD206A),\n  version(19.1),\n"
                      "  lcid(0x409)\n]\nlibrary Solvard\n", self.idl)
        self.assertIn("  typedef [uuid(06C2CA0C-1803-4C98-85CC-2ECF7DF623AF), version(1.0), hidden,"
                      " public]\n    _Prohibit Prohibit___v0;\n", self.idl)

    def altered(self, old: str, new: str) -> list[str]:
        self.assertEqual(self.idl.count(old), 1, old)
        return differences(read_idl(self.idl.replace(old, new)), self.table)

    def test_each_drift_is_named(self):
        get_mac_data = "method GetMacData {} (MachineNo: int16) -> int32"
        cases = [
            ("a DISPID",
             "[id(0x60030012)] HRESULT GetMacData", "[id(0x60030014)] HRESULT GetMacData",
             [f"_Attend slot 21: {get_mac_data.format('60030014')} in the IDL, "
              f"{get_mac_data.format('60030012')} in the table"]),
            ("an in/out parameter passed by value",
             "[in, out] short* FuncID", "[in] short FuncID",
             ["_Attend slot 15: method ClearListInMac 6003000C (MachineNo: int16, FuncID: int16) "
              "-> int32 in the IDL, method ClearListInMac 6003000C (MachineNo: int16, FuncID: "
              "int16 in/out) -> int32 in the table"]),
            ("a parameter's type",
             "[in] BSTR FlowNo", "[in] VARIANT FlowNo",
             ["_Attend slot 16: method SetCardFlowNo 6003000D (MachineNo: int16, FlowNo: variant, "
              "OriginalNo: text) -> int32 in the IDL, method SetCardFlowNo 6003000D (MachineNo: "
              "int16, FlowNo: text, OriginalNo: text) -> int32 in the table"]),
            ("a parameter's name",
             "short* iMod", "short* iMode",
             ["_Prohibit slot 9: method SetLockMode 60030003 (MachineNo: int16, iMode: int16 "
              "in/out) -> boolean in the IDL, method SetLockMode 60030003 (MachineNo: int16, "
              "iMod: int16 in/out) -> boolean in the table"]),
            ("a result's type",
             "GetLockState([in] short MachineNo, [out, retval] long* retVal)",
             "GetLockState([in] short MachineNo, [out, retval] VARIANT_BOOL* retVal)",
             ["_Prohibit slot 18: method GetLockState 6003000C (MachineNo: int16) -> boolean in "
              "the IDL, method GetLockState 6003000C (MachineNo: int16) -> int32 in the table"]),
            ("a property's let made a get",
             "[id(0x68030006), propput]", "[id(0x68030006), propget]",
             ["_Attend slot 25: get GetLanRes 68030006 (GetLanRes: variant) -> void in the IDL, "
              "let GetLanRes 68030006 (GetLanRes: variant) -> void in the table"]),
            ("two members in each other's slots",
             "    [id(0x6003000A)] HRESULT ClearOpenList([in] short MachineNo, [out, retval] "
             "VARIANT_BOOL* retVal);\n    [id(0x6003000B)] HRESULT ClearOpenRecord([in] short "
             "MachineNo, [out, retval] VARIANT_BOOL* retVal);",
             "    [id(0x6003000B)] HRESULT ClearOpenRecord([in] short MachineNo, [out, retval] "
             "VARIANT_BOOL* retVal);\n    [id(0x6003000A)] HRESULT ClearOpenList([in] short "
             "MachineNo, [out, retval] VARIANT_BOOL* retVal);",
             ["_Prohibit slot 16: method ClearOpenRecord 6003000B (MachineNo: int16) -> boolean in "
              "the IDL, method ClearOpenList 6003000A (MachineNo: int16) -> boolean in the table",
              "_Prohibit slot 17: method ClearOpenList 6003000A (MachineNo: int16) -> boolean in "
              "the IDL, method ClearOpenRecord 6003000B (MachineNo: int16) -> boolean in the "
              "table"]),
            ("a member added at the end",
             "    [id(0x68030006), propput] HRESULT GetLanRes([in] VARIANT GetLanRes);\n",
             "    [id(0x68030006), propput] HRESULT GetLanRes([in] VARIANT GetLanRes);\n"
             "    [id(0x60030014)] HRESULT Beep([in] short MachineNo);\n",
             ["_Attend slot 26: method Beep 60030014 (MachineNo: int16) -> void in the IDL, "
              "nothing in the table"]),
            ("an interface's name",
             "interface _Attend : IDispatch", "interface _Attendance : IDispatch",
             ["_Attend: in the table only", "_Attendance: in the IDL only"]),
            ("the last member left out",
             "    [id(0x6803000E), propget] HRESULT CommPortID([out, retval] short* retVal);\n"
             "  };\n\n  [\n    uuid(0B9979F0", "  };\n\n  [\n    uuid(0B9979F0",
             ["_Prohibit slot 27: nothing in the IDL, get CommPortID 6803000E () -> int16 in the "
              "table"]),
            ("an interface's identifier",
             "uuid(58362A58-E5B5-47BC-99F0-BEC5581F83FF)",
             "uuid(58362A58-E5B5-47BC-99F0-BEC5581F83FE)",
             ["_Attend: iid 58362A58-E5B5-47BC-99F0-BEC5581F83FE in the IDL, "
              "58362A58-E5B5-47BC-99F0-BEC5581F83FF in the table"]),
            ("a class's version",
             "    uuid(0B9979F0-A7FA-4847-9885-F3B451383B5D),\n    version(1.1)",
             "    uuid(0B9979F0-A7FA-4847-9885-F3B451383B5D),\n    version(1.0)",
             ["_Prohibit: class version 1.0 in the IDL, 1.1 in the table"]),
            ("an interface's version",
             "    uuid(04641155-034D-47AC-802A-A92EBF5CDBB3),\n    version(1.1)",
             "    uuid(04641155-034D-47AC-802A-A92EBF5CDBB3),\n    version(1.2)",
             ["_Prohibit: version 1.2 in the IDL, 1.1 in the table"]),
        ]
        for what, old, new, expected in cases:
            with self.subTest(what):
                self.assertEqual(self.altered(old, new), expected)


# ---- descriptions the generator refuses ----------------------------------------------------------

IDENTIFIERS = """\
inline constexpr std::string_view kLib = "{11111111-2222-3333-4444-555555555555}";
inline constexpr std::string_view kLibVersion = "2.5";
inline constexpr unsigned kLibLocale = 0x409;
inline constexpr std::string_view kThingInterface = "{11111111-2222-3333-4444-555555555556}";
inline constexpr std::string_view kThingClass = "{11111111-2222-3333-4444-555555555557}";
inline constexpr std::string_view kThingProgId = "Lib.Thing";
"""

DESCRIPTION = """\
[library]
name = "Lib"
uuid = "kLib"
version = "kLibVersion"
lcid = "kLibLocale"

[[interface]]
name = "_Thing"
class = "Thing"
version = "1.0"
iid = "kThingInterface"
clsid = "kThingClass"
progid = "kThingProgId"
members = [
  { let = "Size", dispid = 0x68030001, type = "int16" },
  { get = "Size", dispid = 0x68030001, type = "int16" },
  { method = "Send", dispid = 0x60030002, returns = "boolean", params = [
      { name = "MachineNo", type = "int16" },
      { name = "Text", type = "text", in_out = true },
  ] },
]
"""


class DescriptionTest(unittest.TestCase):
    def run_generator(self, description: str) -> subprocess.CompletedProcess:
        with tempfile.TemporaryDirectory() as work:
            folder = Path(work)
            (folder / "interface.toml").write_text(description)
            (folder / "identifiers.hpp").write_text(IDENTIFIERS)
            done = generate(folder / "interface.toml", folder / "identifiers.hpp", folder, "idl",
                            "table", "slots", "vtable")
            done.outputs = {kind: (folder / kind).read_text() for kind in
                            ("idl", "table", "slots", "vtable") if (folder / kind).exists()}
            return done

    def test_a_small_interface_in_every_output(self):
        done = self.run_generator(DESCRIPTION)
        self.assertEqual(done.returncode, 0, done.stderr)
        idl = done.outputs["idl"]
        self.assertEqual(read_idl(idl), {"_Thing": {
            "iid": "11111111-2222-3333-4444-555555555556", "version": "1.0", "class": "Thing",
            "clsid": "11111111-2222-3333-4444-555555555557", "class version": "1.0", "members": [
                "let Size 68030001 (Size: int16) -> void", "get Size 68030001 () -> int16",
                "method Send 60030002 (MachineNo: int16, Text: text in/out) -> boolean"]}})
        self.assertIn("  uuid(11111111-2222-3333-4444-555555555555),\n  version(2.5),\n"
                      "  lcid(0x409)\n]\nlibrary Lib\n", idl)
        self.assertIn('{9, 0x60030002, "Send", MemberKind::Method, {{"MachineNo", '
                      'ParamType::Int16, false}, {"Text", ParamType::Text, true}}, '
                      'ParamType::Bool},',
                      done.outputs["table"])
        self.assertIn("    case 7: setSize(a.i16(0)); return {};\n    case 8: return Size();\n"
                      "    case 9: {\n      RefArg<std::string> arg1(a.slot(1));\n"
                      "      return Send(a.i16(0), arg1.value);\n    }\n",
                      done.outputs["slots"])
        self.assertIn("  HRESULT STDMETHODCALLTYPE Send(short MachineNo, BSTR* Text, "
                      "VARIANT_BOOL* retVal) override {\n    return callSlot(core(), iid(), 9, "
                      "{VtArg::in(MachineNo), VtArg::inOut(Text)}, VtResult::boolean(retVal));\n",
                      done.outputs["vtable"])

    def test_refused_descriptions(self):
        send = '{ method = "Send", dispid = 0x60030002, returns = "boolean", params = ['
        cases = [
            ("two methods on one DISPID",
             '{ get = "Size", dispid = 0x68030001, type = "int16" },',
             '{ get = "Size", dispid = 0x68030001, type = "int16" },\n'
             '  { method = "Stop", dispid = 0x60030002, params = [] },',
             "_Thing: DISPID 0x60030002 is shared by method Stop, method Send; only a property's "
             "let and get share one"),
            ("a let and a get of different properties on one DISPID",
             '{ get = "Size", dispid = 0x68030001', '{ get = "Width", dispid = 0x68030001',
             "_Thing: DISPID 0x68030001 is shared by let Size, get Width; only a property's let "
             "and get share one"),
            ("a property's let and get on different DISPIDs",
             '{ get = "Size", dispid = 0x68030001', '{ get = "Size", dispid = 0x68030003',
             "_Thing: the let and get of Size differ in name, DISPID or type"),
            ("a property's let and get of different types",
             '{ get = "Size", dispid = 0x68030001, type = "int16"',
             '{ get = "Size", dispid = 0x68030001, type = "int32"',
             "_Thing: the let and get of Size differ in name, DISPID or type"),
            ("a name twice for one kind, without regard to case",
             '{ get = "Size", dispid = 0x68030001, type = "int16" },',
             '{ get = "Size", dispid = 0x68030001, type = "int16" },\n'
             '  { method = "send", dispid = 0x60030003, params = [] },',
             "_Thing: two method members named Send"),
            ("a variant in/out parameter",
             '{ name = "Text", type = "text", in_out = true }',
             '{ name = "Text", type = "variant", in_out = true }',
             "_Thing member 3 (method Send) parameter 2 (Text): a variant parameter cannot be "
             "in/out"),
            ("a result no call path stores",
             'returns = "boolean"', 'returns = "date"',
             "_Thing member 3 (method Send): a result cannot be date"),
            ("an unknown type",
             '{ let = "Size", dispid = 0x68030001, type = "int16" }',
             '{ let = "Size", dispid = 0x68030001, type = "integer" }',
             "_Thing member 1 (let Size): unknown type 'integer' (types: int16, int32, "
             "text, date, variant, boolean)"),
            ("a misspelt key",
             '{ name = "Text", type = "text", in_out = true }',
             '{ name = "Text", type = "text", inout = true }',
             "_Thing member 3 (method Send) parameter 2: unknown key 'inout'"),
            ("a member without a DISPID",
             send, '{ method = "Send", returns = "boolean", params = [',
             "_Thing member 3: 'dispid' is missing"),
            ("a parameter named like the result",
             '{ name = "Text", type = "text", in_out = true }',
             '{ name = "retVal", type = "text", in_out = true }',
             "_Thing member 3 (method Send): parameter names repeat or take the result's (retVal)"),
            ("an identifier the library does not define",
             'clsid = "kThingClass"', 'clsid = "kThingKlass"',
             "_Thing clsid: no constant kThingKlass in the identifiers"),
            ("a text where an identifier is expected",
             'iid = "kThingInterface"', 'iid = "kThingProgId"',
             "_Thing iid: kThingProgId is 'Lib.Thing', not of the expected form"),
        ]
        for what, old, new, message in cases:
            with self.subTest(what):
                self.assertEqual(DESCRIPTION.count(old), 1, old)
                done = self.run_generator(DESCRIPTION.replace(old, new))
                self.assertEqual(done.returncode, 1)
                self.assertEqual(done.stderr.split(": ", 1)[1], message + "\n")
                self.assertEqual(done.outputs, {})


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    PROGRAM, SOURCE = Path(sys.argv[1]), Path(sys.argv[2])
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
