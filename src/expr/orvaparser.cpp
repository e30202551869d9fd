// The evaluator: loads compiled steps and runs them against the variable
// table. Temporaries live in a frame of their own for each run.
#include <cmath>
#include <limits>
#include <unordered_map>

#include "common/cp932.h"
#include "common/errors.h"
#include "common/streams.h"
#include "expr/paramcollection.h"
#include "expr/parser.h"
#include "expr/sysfuncs.h"

namespace orva {

namespace {

constexpr int kGetProp = 2;
constexpr int kGetCinemaProp = 169;
constexpr int kLastProperty = 172;
constexpr int kLastCinemaProperty = 100;

bool IsTempName(const std::string& s) { return s.size() >= 4 && s.compare(0, 4, "____") == 0; }

[[noreturn]] void ThrowNoVariable(const std::string& name) { throw OrvaError::Format("\"%s\" 変数がありません", name); }

// Pops the run's temporary frame however the run ends.
struct TempFrameGuard {
  explicit TempFrameGuard(TParamCollection& v) : vars(v) { vars.PushTempFrame(); }
  ~TempFrameGuard() { vars.PopTempFrame(); }
  TParamCollection& vars;
};

// Unbinds a step's name operands however the step ends.
struct UnbindGuard {
  const TOpeData& step;
  ~UnbindGuard() {
    for (const auto& o : step.operands)
      if (o->Kind() == ParamKind::Ref) static_cast<TParamVar&>(*o).Unbind();
  }
};

// A name of the table (not a temporary of the current run), cached until the
// table changes.
TParamCollectionItem* Lookup(TParamCollection& vars, const std::string& name, TOpeData::Cache& cache) {
  if (cache.owner == &vars && cache.generation == vars.Generation()) return cache.item;
  TParamCollectionItem* item = vars.FindVariable(name);
  cache = {&vars, vars.Generation(), item};
  return item;
}

std::string OperandText(const TCustomParam& p) {
  if (p.Kind() == ParamKind::Ref) return static_cast<const TParamVar&>(p).TargetName();
  return p.GetStr();
}

[[noreturn]] void ThrowBadStep(const TOpeData& step) {
  std::string msg = Sys("不正な式\r\n\r\n代入先:") + step.result + Sys("演算タイプ:") + OpeCodeName(step.op);
  for (const auto& o : step.operands) msg += "\r\n" + OperandText(*o);
  throw OrvaError(msg);
}

int ResultTypeOf(const TOpeData& step, const TSysFuncMan& funcs) {
  auto type = [&](size_t i) { return i < step.operands.size() ? step.operands[i]->GetParamType() : PT_NONE; };
  switch (step.op) {
    case ocTo: return type(0);
    case ocPlus:
      if (type(0) == PT_STR) return PT_STR;
      [[fallthrough]];
    case ocMinus: case ocMul: case ocDiv:
      return (type(0) == PT_FLOAT || type(1) == PT_FLOAT) ? PT_FLOAT : PT_INT;
    case ocMod: case ocOr: case ocAnd: case ocXor: case ocShiftL: case ocShiftR: return PT_INT;
    case ocEqual: case ocBig: case ocSmall: case ocEBig: case ocESmall: case ocNEqual: return PT_BOOL;
    case ocComboStr: return PT_STR;
    case ocDimTo: return PT_NONE;
    case ocFunc: {
      if (step.func == kGetProp) {
        int n = step.operands.size() > 1 ? step.operands[1]->GetInt() : -1;
        if (n < 0 || n > kLastProperty) throw OrvaError::Utf8("GetPropの引数が違います");
        return funcs.propertyType(n);
      }
      if (step.func == kGetCinemaProp) {
        int n = step.operands.size() > 2 ? step.operands[2]->GetInt() : -1;
        if (n < 0 || n > kLastCinemaProperty) throw OrvaError::Utf8("GetCinemaPropの引数が違います");
        return funcs.cinemaPropertyType(n);
      }
      return SysFuncInfo(step.func).resultType;
    }
    default: ThrowBadStep(step);
  }
}

[[noreturn]] void ThrowDivByZero() { throw OrvaError::Utf8("Division by zero"); }
[[noreturn]] void ThrowOverflow() { throw OrvaError::Utf8("Integer overflow"); }

int32_t IntArith(uint8_t op, int32_t a, int32_t b) {
  uint32_t ua = static_cast<uint32_t>(a), ub = static_cast<uint32_t>(b);
  switch (op) {
    case ocPlus: return static_cast<int32_t>(ua + ub);
    case ocMinus: return static_cast<int32_t>(ua - ub);
    case ocMul: return static_cast<int32_t>(ua * ub);
    default:  // ocDiv, ocMod
      if (b == 0) ThrowDivByZero();
      if (a == std::numeric_limits<int32_t>::min() && b == -1) ThrowOverflow();
      return op == ocDiv ? a / b : a % b;
  }
}

Float FloatArith(uint8_t op, Float a, Float b) {
  switch (op) {
    case ocPlus: return a + b;
    case ocMinus: return a - b;
    case ocMul: return a * b;
    default:
      if (b == 0) throw OrvaError::Utf8("Floating point division by zero");
      return a / b;
  }
}

template <class T>
bool Compare(uint8_t op, const T& a, const T& b) {
  switch (op) {
    case ocEqual: return a == b;
    case ocNEqual: return !(a == b);
    case ocBig: return b < a;
    case ocSmall: return a < b;
    case ocEBig: return !(a < b);
    default: return !(b < a);  // ocESmall
  }
}

void ReadOperand(TStream& s, std::vector<std::unique_ptr<TCustomParam>>& out) {
  uint8_t kind = s.ReadByte();
  switch (kind) {
    case PT_NONE: out.push_back(std::make_unique<TParamVar>(s.ReadString())); return;
    case PT_INT: {
      auto p = std::make_unique<TParamInt>();
      p->MutableItems()[0] = s.ReadInt32();
      out.push_back(std::move(p));
      return;
    }
    case PT_FLOAT: {
      auto p = std::make_unique<TParamFloat>();
      p->MutableItems()[0] = ReadExtended(s);
      out.push_back(std::move(p));
      return;
    }
    case PT_BOOL: {
      auto p = std::make_unique<TParamFlag>();
      p->MutableItems()[0] = s.ReadByte();  // kept as stored
      out.push_back(std::move(p));
      return;
    }
    case PT_STR: {
      auto p = std::make_unique<TParamStr>();
      p->MutableItems()[0] = s.ReadString();
      out.push_back(std::move(p));
      return;
    }
    default:
      throw OrvaError::Utf8("不正な式データです (operand kind " + std::to_string(kind) + ")");
  }
}

void WriteOperand(TStream& s, const TCustomParam& p) {
  switch (p.Kind()) {
    case ParamKind::Int: s.WriteByte(PT_INT); s.WriteInt32(p.GetInt()); break;
    case ParamKind::Float: s.WriteByte(PT_FLOAT); WriteExtended(s, p.GetFloat()); break;
    case ParamKind::Flag:
      s.WriteByte(PT_BOOL);
      s.WriteByte(static_cast<const TParamFlag&>(p).Items()[0]);
      break;
    case ParamKind::Str: s.WriteByte(PT_STR); s.WriteString(p.GetStr()); break;
    default: s.WriteByte(PT_NONE); s.WriteString(OperandText(p)); break;
  }
}

std::unique_ptr<TCustomParam> CloneOperand(const TCustomParam& p) {
  if (p.Kind() == ParamKind::Ref) return std::make_unique<TParamVar>(static_cast<const TParamVar&>(p).TargetName());
  std::unique_ptr<TCustomParam> c = CreateParam(static_cast<int>(p.Kind()));
  c->AssignFrom(p);
  return c;
}

}  // namespace

std::string OpeCodeName(int code) {
  static const char* const kNames[] = {"ocNone", "ocTo", "ocPlus", "ocMinus", "ocMul", "ocDiv", "ocMod",
                                       "ocOr", "ocAnd", "ocXor", "ocDimTo", "ocFunc", "ocEqual", "ocBig",
                                       "ocSmall", "ocEBig", "ocESmall", "ocShiftL", "ocShiftR", "ocComboStr",
                                       "ocNEqual"};
  if (code >= 0 && code <= kLastOpeCode) return kNames[code];
  return std::to_string(code);
}

TOrvaParser::TOrvaParser() = default;
TOrvaParser::~TOrvaParser() = default;

void TOrvaParser::LoadFromStream(TStream& s) {
  // Least sizes: a step is op, name length and operand count; an operand is
  // its kind and at least one byte.
  int32_t count = s.ReadCount(1 + 4 + 4);
  std::vector<TOpeData> steps;
  steps.reserve(static_cast<size_t>(count));
  for (int32_t k = 0; k < count; ++k) {
    TOpeData st;
    st.op = s.ReadByte();
    st.result = s.ReadString();
    int32_t n = s.ReadCount(2);
    if (st.op == ocFunc) st.func = s.ReadByte();
    st.operands.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) ReadOperand(s, st.operands);
    st.operandCache.resize(st.operands.size());
    steps.push_back(std::move(st));
  }
  steps_ = std::move(steps);
  result_.reset();
  Prepare();
}

void TOrvaParser::SaveToStream(TStream& s) const {
  s.WriteInt32(static_cast<int32_t>(steps_.size()));
  for (const TOpeData& st : steps_) {
    s.WriteByte(st.op);
    s.WriteString(st.result);
    s.WriteInt32(static_cast<int32_t>(st.operands.size()));
    if (st.op == ocFunc) s.WriteByte(st.func);
    for (const auto& o : st.operands) WriteOperand(s, *o);
  }
}

void TOrvaParser::Assign(const TOrvaParser& other) {
  if (&other == this) return;
  std::vector<TOpeData> steps;
  for (const TOpeData& o : other.steps_) {
    TOpeData st;
    st.op = o.op;
    st.result = o.result;
    st.func = o.func;
    for (const auto& p : o.operands) st.operands.push_back(CloneOperand(*p));
    st.operandCache.resize(st.operands.size());
    steps.push_back(std::move(st));
  }
  steps_ = std::move(steps);
  result_.reset();
  Prepare();
}

void TOrvaParser::Prepare() {
  std::unordered_map<std::string, int> byName;
  slotNames_.clear();
  auto slotOf = [&](const std::string& name) {
    if (!IsTempName(name)) return -1;
    auto [it, added] = byName.emplace(cp932::ToLower(name), static_cast<int>(slotNames_.size()));
    if (added) slotNames_.push_back(name);
    return it->second;
  };
  for (TOpeData& st : steps_) {
    st.resultSlot = slotOf(st.result);
    st.operandSlot.assign(st.operands.size(), -1);
    st.args.clear();
    for (const auto& o : st.operands) st.args.push_back(o.get());
    for (size_t i = 0; i < st.operands.size(); ++i)
      if (st.operands[i]->Kind() == ParamKind::Ref)
        st.operandSlot[i] = slotOf(static_cast<const TParamVar&>(*st.operands[i]).TargetName());
  }
  storesArg_ = !steps_.empty() && steps_.back().op == ocTo && steps_.back().result == kArgName;
  slots_.items.clear();
  slots_.items.resize(slotNames_.size());
  slots_.live.assign(slotNames_.size(), 0);
}

void TOrvaParser::Execute(TParamCollection& vars, const TSysFuncMan& funcs) {
  if (result_) spare_ = std::move(result_);
  lastError_.clear();
  Slots nested;
  Slots& slots = running_ ? nested : slots_;
  if (running_) {
    nested.items.resize(slotNames_.size());
    nested.live.assign(slotNames_.size(), 0);
  } else {
    std::fill(slots.live.begin(), slots.live.end(), 0);
  }
  struct RunningFlag {
    bool& flag;
    bool old;
    ~RunningFlag() { flag = old; }
  } runningFlag{running_, running_};
  running_ = true;

  TempFrameGuard frame(vars);
  bool completed = true;
  for (const TOpeData& st : steps_) {
    try {
      RunStep(st, vars, funcs, slots);
    } catch (const OrvaError& e) {
      lastError_ = e.message();
      completed = false;
      break;
    } catch (const std::exception& e) {
      lastError_ = e.what();
      completed = false;
      break;
    }
  }
  // The value exists only when the final store into "____arg" ran.
  if (completed && storesArg_) {
    try {
      const TOpeData& last = steps_.back();
      TParamCollectionItem* arg = slots.live[static_cast<size_t>(last.resultSlot)]
                                      ? slots.items[static_cast<size_t>(last.resultSlot)].get()
                                      : vars.FindVariable(kArgName);
      if (arg) {
        const TCustomParam& v = *arg->Value();
        int type = v.GetParamType();
        if (spare_ && type >= PT_INT && type <= PT_STR && spare_->Kind() == static_cast<ParamKind>(type) &&
            v.GetDims().empty() && v.GetCount() == 1) {
          // A scalar into last run's result object of the same kind.
          spare_->Reset();
          switch (type) {
            case PT_INT: spare_->SetInt(v.GetInt()); break;
            case PT_FLOAT: spare_->SetFloat(v.GetFloat()); break;
            case PT_BOOL: spare_->SetFlag(v.GetFlagAt(0)); break;
            default: spare_->SetStr(v.GetStr()); break;
          }
          result_ = std::move(spare_);
        } else {
          result_ = TParamCollection::CopyValue(v, kArgName);
        }
      }
    } catch (const OrvaError& e) {
      lastError_ = e.message();
    }
  }
}

TParamCollectionItem* TOrvaParser::CreateTemporary(const TOpeData& step, TParamCollection& vars,
                                                   const TSysFuncMan& funcs, Slots& slots) {
  int type = ResultTypeOf(step, funcs);
  auto& item = slots.items[static_cast<size_t>(step.resultSlot)];
  TCustomParam* old = item ? item->Value() : nullptr;
  std::unique_ptr<TCustomParam> fresh;
  if (step.op == ocDimTo) {
    // The reference is bound now: the array is operand 0's variable, the
    // indices the integer values of the other operands.
    if (step.operands.empty() || step.operands[0]->Kind() != ParamKind::Ref) ThrowBadStep(step);
    auto& arr = static_cast<TParamVar&>(*step.operands[0]);
    std::vector<int32_t> idx;
    idx.reserve(step.operands.size() - 1);
    for (size_t i = 1; i < step.operands.size(); ++i) idx.push_back(step.operands[i]->GetInt());
    int flat = arr.Target()->Value()->FlatIndex(arr.TargetName(), idx);
    TParamVar* ref;
    if (old && old->Kind() == ParamKind::Ref) {
      ref = static_cast<TParamVar*>(old);
      ref->Reset();
    } else {
      fresh = std::make_unique<TParamVar>();
      ref = static_cast<TParamVar*>(fresh.get());
    }
    ref->SetTargetName(arr.Target()->Name());
    ref->Bind(arr.Target(), flat);
  } else {
    ParamKind kind = (type >= PT_INT && type <= PT_STR) ? static_cast<ParamKind>(type) : ParamKind::Ref;
    if (old && old->Kind() == kind) {
      old->Reset();
    } else {
      fresh = CreateParam(kind == ParamKind::Ref ? PT_NONE : type);
    }
  }
  if (!item)
    item = std::make_unique<TParamCollectionItem>(std::move(fresh), slotNames_[static_cast<size_t>(step.resultSlot)]);
  else if (fresh)
    item->SetValue(std::move(fresh));
  slots.live[static_cast<size_t>(step.resultSlot)] = 1;
  vars.RegisterTemporary(*item);
  return item.get();
}

void TOrvaParser::RunStep(const TOpeData& step, TParamCollection& vars, const TSysFuncMan& funcs, Slots& slots) {
  UnbindGuard unbind{step};
  // 1. Bind the name operands: this run's temporaries first, then the table.
  for (size_t i = 0; i < step.operands.size(); ++i) {
    TCustomParam& o = *step.operands[i];
    if (o.Kind() != ParamKind::Ref) continue;
    auto& ref = static_cast<TParamVar&>(o);
    int slot = step.operandSlot[i];
    TParamCollectionItem* item = (slot >= 0 && slots.live[static_cast<size_t>(slot)])
                                     ? slots.items[static_cast<size_t>(slot)].get()
                                     : Lookup(vars, ref.TargetName(), step.operandCache[i]);
    if (!item) ThrowNoVariable(ref.TargetName());
    int32_t index = item->Value()->Kind() == ParamKind::Ref
                        ? static_cast<const TParamVar&>(*item->Value()).ElementIndex()
                        : 0;
    ref.Bind(item, index);
  }
  if (step.op == ocNone || step.op > kLastOpeCode) ThrowBadStep(step);

  // 2. The result variable; a temporary is created on its first store.
  TParamCollectionItem* r;
  int slot = step.resultSlot;
  if (slot >= 0 && slots.live[static_cast<size_t>(slot)]) {
    r = slots.items[static_cast<size_t>(slot)].get();
  } else {
    r = Lookup(vars, step.result, step.resultCache);
    if (!r && slot >= 0) r = CreateTemporary(step, vars, funcs, slots);
  }
  if (!r) ThrowNoVariable(step.result);

  // 3. Apply the operator.
  TCustomParam& R = *r->Value();
  auto operand = [&](size_t i) -> TCustomParam& {
    if (i >= step.operands.size()) ThrowBadStep(step);
    return *step.operands[i];
  };
  switch (step.op) {
    case ocTo:
      SetScalarAs(R, R.GetParamType(), operand(0));
      break;
    case ocPlus: case ocMinus: case ocMul: case ocDiv: {
      TCustomParam& a = operand(0);
      TCustomParam& b = operand(1);
      if (R.GetParamType() == PT_FLOAT)
        R.SetFloat(FloatArith(step.op, a.GetFloat(), b.GetFloat()));
      else
        R.SetInt(IntArith(step.op, a.GetInt(), b.GetInt()));
      break;
    }
    case ocMod: R.SetInt(IntArith(ocMod, operand(0).GetInt(), operand(1).GetInt())); break;
    case ocOr: R.SetInt(operand(0).GetInt() | operand(1).GetInt()); break;
    case ocAnd: R.SetInt(operand(0).GetInt() & operand(1).GetInt()); break;
    case ocXor: R.SetInt(operand(0).GetInt() ^ operand(1).GetInt()); break;
    case ocShiftL: {
      uint32_t a = static_cast<uint32_t>(operand(0).GetInt());
      R.SetInt(static_cast<int32_t>(a << (operand(1).GetInt() & 31)));
      break;
    }
    case ocShiftR: {
      uint32_t a = static_cast<uint32_t>(operand(0).GetInt());
      R.SetInt(static_cast<int32_t>(a >> (operand(1).GetInt() & 31)));
      break;
    }
    case ocComboStr: R.SetStr(operand(0).GetStr() + operand(1).GetStr()); break;
    case ocEqual: case ocBig: case ocSmall: case ocEBig: case ocESmall: case ocNEqual: {
      TCustomParam& a = operand(0);
      TCustomParam& b = operand(1);
      bool v;
      switch (a.GetParamType()) {
        case PT_STR: v = Compare(step.op, a.GetStr(), b.GetStr()); break;
        case PT_FLOAT: v = Compare(step.op, a.GetFloat(), b.GetFloat()); break;
        case PT_BOOL: v = Compare(step.op, a.GetFlag(), b.GetFlag()); break;
        default: v = Compare(step.op, a.GetInt(), b.GetInt()); break;
      }
      R.SetFlag(v);
      break;
    }
    case ocFunc: {
      funcs.Execute(R, step.func, step.args, vars);
      break;
    }
    default: break;  // ocDimTo: bound when created
  }
}

bool RunStatement(const std::string& text, TParamCollection& vars, const TSysFuncMan& funcs) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
  if (b == e) return false;
  try {
    TOrvaParser parser;
    LoadStatement(text.substr(b, e - b), parser);
    parser.Execute(vars, funcs);
    return true;
  } catch (const OrvaError&) {
    return false;
  }
}

std::string QuoteStringLiteral(const std::string& value) {
  std::string out = "\"";
  for (size_t i = 0; i < value.size();) {
    size_t len = cp932::CharLength(value, i);
    if (len == 1 && (value[i] == '"' || value[i] == '\\')) out += '\\';
    out.append(value, i, len);
    i += len;
  }
  return out + "\"";
}

void LoadStatement(const std::string& text, TOrvaParser& parser) {
  TBuildOrvaParser build;
  build.Compile(text);
  TMxMemoryStream ms;
  build.SaveToStream(ms);
  ms.SetPosition(0);
  parser.LoadFromStream(ms);
}

}  // namespace orva
