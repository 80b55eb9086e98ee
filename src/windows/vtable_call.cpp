#include "windows/vtable_call.hpp"

#include <vector>

#include "windows/com_error.hpp"
#include "windows/variant_rules.hpp"
#include "windows/wide_text.hpp"

namespace solvard::windows {

using automation::Variant;

namespace {

template <class... Fs>
struct Overload : Fs... {
  using Fs::operator()...;
};
template <class... Fs>
Overload(Fs...) -> Overload<Fs...>;

Variant dateValue(DATE serial) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_DATE;
  V_DATE(&v) = serial;
  return valueOfVariant(v);
}

const component::Member* memberInSlot(const component::InterfaceInfo& info, int slot) {
  for (const component::Member& m : info.members) {
    if (m.slot == slot) return &m;
  }
  return nullptr;
}

}  // namespace

bool VtArg::isNullPointer() const {
  return std::visit(
      Overload{[](const VARIANT* p) { return p == nullptr; }, [](short* p) { return p == nullptr; },
               [](BSTR* p) { return p == nullptr; }, [](DATE* p) { return p == nullptr; },
               [](auto) { return false; }},
      source_);
}

Variant VtArg::value() const {
  return std::visit(Overload{[](short v) { return Variant(static_cast<int16_t>(v)); },
                             [](Text t) { return Variant(utf8FromBstr(t.value)); },
                             [](const VARIANT* p) { return valueOfVariant(*p); },
                             [](DateIn d) { return dateValue(d.value); },
                             [](short* p) { return Variant(static_cast<int16_t>(*p)); },
                             [](BSTR* p) { return Variant(utf8FromBstr(*p)); },
                             [](DATE* p) { return dateValue(*p); }},
                    source_);
}

void VtArg::writeBack(const Variant& value) const {
  std::visit(Overload{[&](short* p) { *p = automation::toInt16(value); },
                      [&](BSTR* p) {
                        BSTR text = bstrFromUtf8(automation::toText(value));
                        SysFreeString(*p);
                        *p = text;
                      },
                      [&](DATE* p) { *p = automation::toDate(value).toSerial(); }, [](auto) {}},
             source_);
}

bool VtResult::isNullPointer() const {
  return std::visit(
      Overload{[](std::monostate) { return false; }, [](BoolOut b) { return b.p == nullptr; },
               [](auto p) { return p == nullptr; }},
      target_);
}

void VtResult::clear() const {
  std::visit(Overload{[](std::monostate) {}, [](short* p) { *p = 0; }, [](long* p) { *p = 0; },
                      [](BSTR* p) { *p = nullptr; }, [](BoolOut b) { *b.p = VARIANT_FALSE; }},
             target_);
}

void VtResult::store(const Variant& value) const {
  std::visit(
      Overload{[](std::monostate) {}, [&](short* p) { *p = automation::toInt16(value); },
               [&](long* p) { *p = automation::toInt32(value); },
               [&](BSTR* p) { *p = bstrFromUtf8(automation::toText(value)); },
               [&](BoolOut b) { *b.p = automation::toBool(value) ? VARIANT_TRUE : VARIANT_FALSE; }},
      target_);
}

HRESULT callSlot(component::DispatchObject& object, REFIID iid, int slot,
                 std::initializer_list<VtArg> args, VtResult result) {
  if (result.isNullPointer()) return E_POINTER;
  for (const VtArg& a : args) {
    if (a.isNullPointer()) return E_POINTER;
  }
  result.clear();
  const component::Member* member = memberInSlot(object.interfaceInfo(), slot);
  if (member == nullptr || member->params.size() != args.size()) return E_UNEXPECTED;
  try {
    std::vector<Variant> values;
    values.reserve(args.size());
    for (const VtArg& a : args) values.push_back(a.value());
    std::optional<automation::AutomationError> error;
    Variant value;
    try {
      value = component::invokeMember(object, *member, values);
    } catch (const automation::AutomationError& e) {
      error = e;
    }
    size_t i = 0;
    for (const VtArg& a : args) {
      if (member->params[i].byRef) a.writeBack(values[i]);
      ++i;
    }
    if (error) throw *error;
    result.store(value);
    SetErrorInfo(0, nullptr);
    return S_OK;
  } catch (...) {
    return hresultOfCurrentException(iid);
  }
}

}  // namespace solvard::windows
