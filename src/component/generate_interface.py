#!/usr/bin/env python3
"""Makes the code that states Solvard's automation interface from its one description.

    generate_interface.py DESCRIPTION IDENTIFIERS [--table FILE] [--slots FILE]
                          [--idl FILE] [--vtable FILE]

DESCRIPTION is component/interface.toml, IDENTIFIERS component/identifiers.hpp (the identifiers
the description names). Each option writes one file:

  --table   C++: the interface table (attendInterface(), ..., allInterfaces())
  --slots   C++: each class's invokeSlot, the slot dispatch into its C++ object
  --idl     the type library's IDL, for widl
  --vtable  C++: per interface a COM object base implementing its vtable members, each slot
            one callSlot into the core (needs the header widl makes from the IDL)

A description the build cannot serve (a member without a DISPID, two members on one DISPID that
are not a property's let and get, a type a call path cannot carry, ...) is refused: the message
names the interface and the member, and the exit status is 1. Needs Python 3.11 (tomllib).
"""

from __future__ import annotations

import argparse
import re
import sys
import tomllib
from dataclasses import dataclass, field
from pathlib import Path

FIRST_SLOT = 7  # 0 to 6 are IUnknown's and IDispatch's

# Each type: the IDL's name, the table's ParamType, the COM value type in widl's header.
TYPES = {
    "int16": ("short", "Int16", "short"),
    "int32": ("long", "Int32", "LONG"),
    "text": ("BSTR", "Text", "BSTR"),
    "date": ("DATE", "Date", "DATE"),
    "variant": ("VARIANT", "Variant", "VARIANT"),
    "boolean": ("VARIANT_BOOL", "Bool", "VARIANT_BOOL"),
}

# What a parameter of each type is in a call to the C++ object: the SlotArgs reader of an input,
# the RefArg value type of an in/out one (None: the call paths cannot carry it in/out).
CORE_PARAMS = {
    "int16": ("i16", "int16_t"),
    "text": ("text", "std::string"),
    "date": ("date", "automation::DateTime"),
    "variant": ("variant", None),
}
# The vtable side: the VtArg maker of an input and of an in/out parameter.
VTABLE_PARAMS = {
    "int16": ("in", "inOut"),
    "text": ("in", "inOut"),
    "date": ("inDate", "inOut"),
    "variant": ("in", None),
}
# The result types the vtable side can store, with the VtResult maker.
VTABLE_RESULTS = {"int16": "out", "int32": "out", "text": "out", "boolean": "boolean"}

IDENTIFIER = re.compile(r"[A-Za-z_][A-Za-z0-9_]*\Z")
GUID = re.compile(r"\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}\Z")
VERSION = re.compile(r"[0-9]+\.[0-9]+\Z")
# `inline constexpr <type> kName = <value>;` in identifiers.hpp: a quoted text or a number.
CONSTANT = re.compile(
    r'inline\s+constexpr\s+[\w:]+\s+(k\w+)\s*=\s*("[^"\\]*"|0[xX][0-9A-Fa-f]+|[0-9]+)\s*;')


class DescriptionError(Exception):
    pass


@dataclass
class Param:
    name: str
    type: str
    in_out: bool


@dataclass
class Member:
    kind: str  # "method", "let" or "get"
    name: str
    dispid: int
    slot: int
    params: list[Param]
    returns: str | None  # None: no result


@dataclass
class Alias:
    name: str
    uuid: str  # the constant's name in identifiers.hpp
    version: str


@dataclass
class Interface:
    name: str
    class_name: str
    version: str
    iid: str  # names of constants in identifiers.hpp
    clsid: str
    progid: str
    alias: Alias | None
    members: list[Member] = field(default_factory=list)


@dataclass
class Library:
    name: str
    uuid: str  # names of constants in identifiers.hpp
    version: str
    lcid: str


@dataclass
class Description:
    library: Library
    interfaces: list[Interface]
    constants: dict[str, str]  # identifiers.hpp: name -> value (texts unquoted)

    def value(self, constant: str) -> str:
        return self.constants[constant]


# ---- reading -----------------------------------------------------------------------------------

def read_constants(text: str) -> dict[str, str]:
    return {name: value[1:-1] if value.startswith('"') else value
            for name, value in CONSTANT.findall(text)}


def _table(where: str, value, keys: dict[str, type], required: tuple[str, ...]) -> dict:
    if not isinstance(value, dict):
        raise DescriptionError(f"{where}: expected a table")
    for key in value:
        if key not in keys:
            raise DescriptionError(f"{where}: unknown key '{key}'")
    for key in required:
        if key not in value:
            raise DescriptionError(f"{where}: '{key}' is missing")
    for key, kind in keys.items():
        # TOML's true and false are Python ints too.
        if key in value and (not isinstance(value[key], kind) or
                             kind is not bool and isinstance(value[key], bool)):
            raise DescriptionError(f"{where}: '{key}' must be a {kind.__name__}")
    return value


def _identifier(where: str, name: str) -> str:
    if not IDENTIFIER.match(name):
        raise DescriptionError(f"{where}: '{name}' is not an identifier")
    return name


def _constant(where: str, constants: dict[str, str], name: str, pattern: re.Pattern | None) -> str:
    if name not in constants:
        raise DescriptionError(f"{where}: no constant {name} in the identifiers")
    if pattern is not None and not pattern.match(constants[name]):
        raise DescriptionError(f"{where}: {name} is '{constants[name]}', not of the expected form")
    return name


def _type(where: str, name: str) -> str:
    if name not in TYPES:
        raise DescriptionError(f"{where}: unknown type '{name}' (types: {', '.join(TYPES)})")
    return name


def _param(where: str, raw) -> Param:
    raw = _table(where, raw, {"name": str, "type": str, "in_out": bool}, ("name", "type"))
    name = _identifier(where, raw["name"])
    where = f"{where} ({name})"
    kind = _type(where, raw["type"])
    in_out = raw.get("in_out", False)
    if kind not in CORE_PARAMS:
        raise DescriptionError(f"{where}: a parameter cannot be {kind}")
    if in_out and CORE_PARAMS[kind][1] is None:
        raise DescriptionError(f"{where}: a {kind} parameter cannot be in/out")
    return Param(name, kind, in_out)


def _member(where: str, raw, slot: int) -> Member:
    if not isinstance(raw, dict):
        raise DescriptionError(f"{where}: expected a table")
    kinds = [k for k in ("method", "let", "get") if k in raw]
    if len(kinds) != 1:
        raise DescriptionError(f"{where}: a member is exactly one of method, let or get")
    kind = kinds[0]
    if kind == "method":
        raw = _table(where, raw, {"method": str, "dispid": int, "params": list, "returns": str},
                     ("method", "dispid", "params"))
    else:
        raw = _table(where, raw, {kind: str, "dispid": int, "type": str}, (kind, "dispid", "type"))
    name = _identifier(where, raw[kind])
    where = f"{where} ({kind} {name})"
    dispid = raw["dispid"]
    if not 0 <= dispid <= 0xFFFFFFFF:
        raise DescriptionError(f"{where}: DISPID {dispid:#x} does not fit 32 bits")
    if kind == "method":
        params = [_param(f"{where} parameter {i + 1}", p) for i, p in enumerate(raw["params"])]
        names = [p.name for p in params]
        if len(set(names)) != len(names) or "retVal" in names:
            raise DescriptionError(f"{where}: parameter names repeat or take the result's (retVal)")
        returns = _type(where, raw["returns"]) if "returns" in raw else None
    elif kind == "let":
        value_type = _type(where, raw["type"])
        if value_type not in CORE_PARAMS:
            raise DescriptionError(f"{where}: a property's value cannot be {value_type}")
        params = [Param(name, value_type, False)]
        returns = None
    else:
        params = []
        returns = _type(where, raw["type"])
    if returns is not None and returns not in VTABLE_RESULTS:
        raise DescriptionError(f"{where}: a result cannot be {returns}")
    return Member(kind, name, dispid, slot, params, returns)


def _check_members(where: str, members: list[Member]) -> None:
    # Automation finds members by name without regard to case.
    seen: dict[tuple[str, str], Member] = {}
    for m in members:
        key = (m.kind, m.name.lower())
        if key in seen:
            raise DescriptionError(f"{where}: two {m.kind} members named {m.name}")
        seen[key] = m
    properties = {name for kind, name in seen if kind != "method"}
    for m in members:
        if m.kind == "method" and m.name.lower() in properties:
            raise DescriptionError(f"{where}: {m.name} is both a method and a property")
        if m.kind == "let" and ("get", m.name.lower()) in seen:
            get = seen[("get", m.name.lower())]
            if get.name != m.name or get.dispid != m.dispid or get.returns != m.params[0].type:
                raise DescriptionError(
                    f"{where}: the let and get of {m.name} differ in name, DISPID or type")
    by_dispid: dict[int, list[Member]] = {}
    for m in members:
        by_dispid.setdefault(m.dispid, []).append(m)
    for dispid, sharing in by_dispid.items():
        if len(sharing) == 1:
            continue
        if sorted(m.kind for m in sharing) != ["get", "let"] or sharing[0].name != sharing[1].name:
            names = ", ".join(f"{m.kind} {m.name}" for m in sharing)
            raise DescriptionError(f"{where}: DISPID 0x{dispid:08X} is shared by {names}; only "
                                   "a property's let and get share one")


def read_description(text: str, constants: dict[str, str]) -> Description:
    try:
        raw = tomllib.loads(text)
    except tomllib.TOMLDecodeError as e:
        raise DescriptionError(f"not a TOML file: {e}") from e
    raw = _table("the description", raw, {"library": dict, "interface": list},
                 ("library", "interface"))
    lib = _table("[library]", raw["library"],
                 {"name": str, "uuid": str, "version": str, "lcid": str},
                 ("name", "uuid", "version", "lcid"))
    library = Library(_identifier("[library]", lib["name"]),
                      _constant("[library] uuid", constants, lib["uuid"], GUID),
                      _constant("[library] version", constants, lib["version"], VERSION),
                      _constant("[library] lcid", constants, lib["lcid"],
                                re.compile(r"(0[xX][0-9A-Fa-f]+|[0-9]+)\Z")))
    interfaces: list[Interface] = []
    for index, entry in enumerate(raw["interface"]):
        where = f"interface {index + 1}"
        entry = _table(where, entry,
                       {"name": str, "class": str, "version": str, "iid": str, "clsid": str,
                        "progid": str, "alias": dict, "members": list},
                       ("name", "class", "version", "iid", "clsid", "progid", "members"))
        where = _identifier(where, entry["name"])
        if not VERSION.match(entry["version"]):
            raise DescriptionError(f"{where}: version '{entry['version']}' is not major.minor")
        alias = None
        if "alias" in entry:
            a = _table(f"{where} alias", entry["alias"],
                       {"name": str, "uuid": str, "version": str}, ("name", "uuid", "version"))
            if not VERSION.match(a["version"]):
                raise DescriptionError(
                    f"{where} alias: version '{a['version']}' is not major.minor")
            alias = Alias(_identifier(f"{where} alias", a["name"]),
                          _constant(f"{where} alias", constants, a["uuid"], GUID), a["version"])
        iface = Interface(where, _identifier(where, entry["class"]), entry["version"],
                          _constant(f"{where} iid", constants, entry["iid"], GUID),
                          _constant(f"{where} clsid", constants, entry["clsid"], GUID),
                          _constant(f"{where} progid", constants, entry["progid"], None), alias)
        if not entry["members"]:
            raise DescriptionError(f"{where}: no members")
        for i, m in enumerate(entry["members"]):
            iface.members.append(_member(f"{where} member {i + 1}", m, FIRST_SLOT + i))
        _check_members(where, iface.members)
        interfaces.append(iface)
    if not interfaces:
        raise DescriptionError("the description has no interface")
    for attr, what in (("name", "interface"), ("class_name", "class")):
        names = [getattr(i, attr).lower() for i in interfaces]
        if len(set(names)) != len(names):
            raise DescriptionError(f"two {what}s have one name")
    return Description(library, interfaces, constants)


# ---- writing -----------------------------------------------------------------------------------

NOTICE = "Generated by component/generate_interface.py from component/interface.toml: edit those."


def _guid(description: Description, constant: str) -> str:
    return description.value(constant)[1:-1]


def _idl_param(p: Param) -> str:
    idl = TYPES[p.type][0]
    return f"[in, out] {idl}* {p.name}" if p.in_out else f"[in] {idl} {p.name}"


def write_idl(d: Description) -> str:
    lib = d.library
    out = [f"// The type library of {lib.name}.dll. {NOTICE}", "", 'import "oaidl.idl";', "",
           "[", f"  uuid({_guid(d, lib.uuid)}),", f"  version({d.value(lib.version)}),",
           f"  lcid({d.value(lib.lcid)})", "]", f"library {lib.name}", "{",
           '  importlib("stdole2.tlb");', ""]
    out += [f"  interface {i.name};" for i in d.interfaces]
    for i in d.interfaces:
        out += ["", "  [", "    object,", f"    uuid({_guid(d, i.iid)}),",
                f"    version({i.version}),", "    hidden,", "    dual,", "    nonextensible,",
                "    oleautomation", "  ]", f"  interface {i.name} : IDispatch", "  {"]
        for m in i.members:
            attrs = f"id(0x{m.dispid:08X})"
            if m.kind == "let":
                attrs += ", propput"
            elif m.kind == "get":
                attrs += ", propget"
            params = [_idl_param(p) for p in m.params]
            if m.returns is not None:
                params.append(f"[out, retval] {TYPES[m.returns][0]}* retVal")
            out.append(f"    [{attrs}] HRESULT {m.name}({', '.join(params)});")
        out += ["  };", "", "  [", f"    uuid({_guid(d, i.clsid)}),", f"    version({i.version})",
                "  ]", f"  coclass {i.class_name}", "  {", f"    [default] interface {i.name};",
                "  };"]
    for i in d.interfaces:
        if i.alias is not None:
            a = i.alias
            out += ["", f"  typedef [uuid({_guid(d, a.uuid)}), version({a.version}), hidden, "
                    "public]", f"    {i.name} {a.name};"]
    out += ["};", ""]
    return "\n".join(out)


def _accessor(i: Interface) -> str:
    return i.class_name[0].lower() + i.class_name[1:] + "Interface"


def write_table(d: Description) -> str:
    out = [f"// {NOTICE}", "", '#include "component/identifiers.hpp"',
           '#include "component/interface_table.hpp"', "", "#include <array>", "",
           "namespace solvard::component {", ""]
    kinds = {"method": "Method", "let": "PropertyLet", "get": "PropertyGet"}
    for i in d.interfaces:
        out += [f"const InterfaceInfo& {_accessor(i)}() {{", "  static const InterfaceInfo info{",
                f'      .name = "{i.name}",', f'      .className = "{i.class_name}",',
                f"      .progId = ids::{i.progid},", f"      .iid = ids::{i.iid},",
                f"      .clsid = ids::{i.clsid},", f'      .version = "{i.version}",',
                "      .members = {"]
        for m in i.members:
            params = ", ".join(
                f'{{"{p.name}", ParamType::{TYPES[p.type][1]}, {"true" if p.in_out else "false"}}}'
                for p in m.params)
            returns = TYPES[m.returns][1] if m.returns is not None else "Void"
            out.append(f'          {{{m.slot}, 0x{m.dispid:08X}, "{m.name}", '
                       f"MemberKind::{kinds[m.kind]}, {{{params}}}, ParamType::{returns}}},")
        out += ["      }};", "  return info;", "}", ""]
    out += ["std::span<const InterfaceInfo* const> allInterfaces() {",
            f"  static const std::array<const InterfaceInfo*, {len(d.interfaces)}> all = {{"
            + ", ".join(f"&{_accessor(i)}()" for i in d.interfaces) + "};",
            "  return all;", "}", "", "}  // namespace solvard::component", ""]
    return "\n".join(out)


def _core_call(m: Member) -> tuple[list[str], str]:
    """The lines that bind in/out arguments, and the call with its arguments."""
    binds, args = [], []
    for index, p in enumerate(m.params):
        reader, ref_type = CORE_PARAMS[p.type]
        if p.in_out:
            binds.append(f"RefArg<{ref_type}> arg{index}(a.slot({index}));")
            args.append(f"arg{index}.value")
        else:
            args.append(f"a.{reader}({index})")
    function = {"method": m.name, "let": "set" + m.name, "get": m.name}[m.kind]
    return binds, f"{function}({', '.join(args)})"


def write_slots(d: Description) -> str:
    out = [f"// {NOTICE}", "", '#include "automation/error.hpp"',
           '#include "automation/variant.hpp"']
    out += [f'#include "component/{i.class_name.lower()}.hpp"' for i in d.interfaces]
    out += ['#include "component/slot_args.hpp"', "", "namespace solvard::component {", ""]
    for i in d.interfaces:
        out += [f"// {i.name}: each slot's member called on the {i.class_name} object with the "
                "arguments the", "// dispatch coerced to its parameter types.",
                f"automation::Variant {i.class_name}::invokeSlot(int slot, "
                "std::vector<automation::Variant>& args) {",
                "  SlotArgs a(args);", "  switch (slot) {"]
        for m in i.members:
            binds, call = _core_call(m)
            statement = f"{call}; return {{}};" if m.returns is None else f"return {call};"
            if binds:
                out += [f"    case {m.slot}: {{"] + [f"      {b}" for b in binds]
                out += [f"      {statement}", "    }"]
            else:
                out.append(f"    case {m.slot}: {statement}")
        out += ["  }", "  throw automation::errors::notSupported();", "}", ""]
    out += ["}  // namespace solvard::component", ""]
    return "\n".join(out)


def write_vtable(d: Description) -> str:
    out = [f"// {NOTICE}", "", "#pragma once", "", '#include "solvard_h.h"',
           '#include "windows/com_object.hpp"', '#include "windows/vtable_call.hpp"', "",
           "namespace solvard::windows {", ""]
    for i in d.interfaces:
        base = f"{i.class_name}Vtable"
        out += [f"// The vtable of {i.name}: each member one callSlot into the core with its slot.",
                f"class {base} : public ComObject<{i.name}> {{", " public:",
                "  using ComObject::ComObject;", ""]
        for m in i.members:
            params, args = [], []
            for p in m.params:
                com_type = TYPES[p.type][2]
                maker_in, maker_in_out = VTABLE_PARAMS[p.type]
                if p.in_out:
                    params.append(f"{com_type}* {p.name}")
                    args.append(f"VtArg::{maker_in_out}({p.name})")
                else:
                    params.append(f"{com_type} {p.name}")
                    args.append(f"VtArg::{maker_in}({p.name})")
            if m.returns is None:
                result = "VtResult::none()"
            else:
                params.append(f"{TYPES[m.returns][2]}* retVal")
                result = f"VtResult::{VTABLE_RESULTS[m.returns]}(retVal)"
            prefix = {"method": "", "let": "put_", "get": "get_"}[m.kind]
            out += [f"  HRESULT STDMETHODCALLTYPE {prefix}{m.name}({', '.join(params)}) "
                    "override {",
                    f"    return callSlot(core(), iid(), {m.slot}, {{{', '.join(args)}}}, "
                    f"{result});", "  }"]
        out += ["};", ""]
    out += ["}  // namespace solvard::windows", ""]
    return "\n".join(out)


# ---- the command -------------------------------------------------------------------------------

def _write(path: str, text: str) -> None:
    target = Path(path)
    target.parent.mkdir(parents=True, exist_ok=True)
    target.write_text(text, encoding="utf-8")


def main(argv: list[str]) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("description")
    parser.add_argument("identifiers")
    for name in ("table", "slots", "idl", "vtable"):
        parser.add_argument(f"--{name}", metavar="FILE")
    options = parser.parse_args(argv)
    try:
        constants = read_constants(Path(options.identifiers).read_text(encoding="utf-8"))
        description = read_description(Path(options.description).read_text(encoding="utf-8"),
                                       constants)
    except (DescriptionError, OSError) as e:
        print(f"{options.description}: {e}", file=sys.stderr)
        return 1
    for name, writer in (("table", write_table), ("slots", write_slots), ("idl", write_idl),
                         ("vtable", write_vtable)):
        if getattr(options, name):
            _write(getattr(options, name), writer(description))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
