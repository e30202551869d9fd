#include "script/vardump.h"

#include <cmath>

#include "common/json.h"
#include "expr/extended.h"
#include "expr/paramcollection.h"

namespace orva {

namespace {

std::string Element(const TCustomParam& v, int i) {
  switch (v.GetParamType()) {
    case PT_INT: return std::to_string(v.GetIntAt(i));
    case PT_FLOAT: {
      Float x = v.GetFloatAt(i);
      if (!std::isfinite(static_cast<double>(x))) return JsonString(FloatToText(x));
      return FloatToText(x);
    }
    case PT_BOOL: return v.GetFlagAt(i) ? "true" : "false";
    case PT_STR: return JsonString(v.GetStrAt(i));
    default: return "null";
  }
}

const char* TypeName(int type) {
  switch (type) {
    case PT_INT: return "int";
    case PT_FLOAT: return "float";
    case PT_BOOL: return "flag";
    case PT_STR: return "string";
    default: return "reference";
  }
}

}  // namespace

std::string VariablesToJson(const TParamCollection& vars) {
  std::string out = "[\n";
  bool first = true;
  for (int i = 0; i < vars.Count(); ++i) {
    const TParamCollectionItem& item = vars.At(i);
    if (item.IsSystem() || item.Name().empty()) continue;
    const TCustomParam& v = *item.Value();
    if (!first) out += ",\n";
    first = false;
    out += "  {\"name\": " + JsonString(item.Name()) + ", \"type\": \"" + TypeName(v.GetParamType()) + "\"";
    if (item.status) out += ", \"status\": true";
    const Dims& dims = v.GetDims();
    if (dims.empty()) {
      out += ", \"value\": " + Element(v, 0);
    } else {
      out += ", \"dims\": [";
      for (size_t d = 0; d < dims.size(); ++d) out += (d ? ", " : "") + std::to_string(dims[d]);
      out += "], \"elements\": [";
      for (int e = 0; e < v.GetCount(); ++e) out += (e ? ", " : "") + Element(v, e);
      out += "]";
    }
    out += "}";
  }
  return out + "\n]\n";
}

}  // namespace orva
