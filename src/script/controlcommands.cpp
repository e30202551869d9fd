#include "script/controlcommands.h"

#include "common/errors.h"
#include "expr/paramcollection.h"
#include "objects/timerlists.h"
#include "script/callman.h"

namespace orva {

namespace {

constexpr int32_t kMarkerLength = 7;

int IndentAt(TCallMan& cm, int32_t i) { return cm.CurrentPage()->Commands().At(i).indentLevel; }
int CommandCount(TCallMan& cm) { return cm.CurrentPage()->Commands().Count(); }

// Moves past every following command indented deeper than `indent`.
void SkipBody(TCallMan& cm, int indent) {
  int32_t& i = cm.Index();
  ++i;
  while (i < CommandCount(cm) && IndentAt(cm, i) > indent) ++i;
}

}  // namespace

void TComIf::Execute(TCallMan& cm) {
  int32_t& i = cm.Index();
  ++i;
  if (cm.Holds(Expr(0))) return;
  // Look for the branch that runs: a following Elseif whose condition holds,
  // or an Else, at this indent.
  while (i < CommandCount(cm)) {
    TCommand& c = cm.CurrentPage()->Commands().At(i);
    if (c.indentLevel > indentLevel) {
      ++i;
    } else if (c.indentLevel < indentLevel) {
      return;
    } else if (c.TypeCode() == 1) {  // Elseif
      ++i;
      if (cm.Holds(c.Expr(0))) return;
    } else if (c.TypeCode() == 2) {  // Else
      ++i;
      return;
    } else {
      return;
    }
  }
}

void TComElseif::Execute(TCallMan& cm) { SkipBody(cm, indentLevel); }

void TComElse::Execute(TCallMan& cm) { SkipBody(cm, indentLevel); }

void TComLabel::Execute(TCallMan& cm) { ++cm.Index(); }

void TComJump::Execute(TCallMan& cm) {
  ++cm.Index();
  if (!cm.Holds(Expr(2)) || !cm.CanReach(Text(0))) return;
  cm.SetCurrentPage(cm.GetPage(Text(0), true));
  cm.Index() = Number(1);
}

void TComCall::Execute(TCallMan& cm) {
  const int32_t returnIndex = ++cm.Index();
  if (!cm.Holds(Expr(3)) || !cm.CanReach(Text(0))) return;
  std::vector<std::string> args;
  for (const auto& e : fields[4].list)
    if (const TCustomParam* v = cm.Evaluate(e.get())) args.push_back(v->GetStr());
  auto frame = std::make_unique<TStack>();
  frame->pageName = cm.CurrentPage()->Name();
  frame->returnIndex = returnIndex;
  frame->resultVar = Text(2);
  frame->runOn = cm.RunOnFlag();
  frame->sender = cm.Sender();
  frame->args = cm.Args();
  TPage* called = cm.GetPage(Text(0), true);
  frame->returnValue = CreateParam(called->resultType);
  cm.PushFrame(std::move(frame));
  cm.SetArgs(std::move(args));
  cm.SetCurrentPage(called);
  cm.Index() = Number(1);
}

void TComExit::Execute(TCallMan& cm) {
  if (cm.Holds(Expr(0)))
    cm.SetCurrentPage(nullptr);
  else
    ++cm.Index();
}

void TComBreak::Execute(TCallMan& cm) {
  if (!cm.Holds(Expr(0))) {
    ++cm.Index();
  } else if (Number(1) >= 0) {
    cm.Index() = Number(1);
  } else {
    cm.SetCurrentPage(nullptr);
  }
}

void TComContinue::Execute(TCallMan& cm) {
  ++cm.Index();
  if (!cm.Holds(Expr(0))) return;
  if (Number(1) < 0)
    cm.SetCurrentPage(nullptr);
  else
    cm.Index() = Number(1);
}

void TComWait::Begin(TCallMan& cm) {
  const TCustomParam* t = cm.Evaluate(Expr(1));
  remaining_ = t ? t->GetInt() : 0;
  firstStep_ = 1;
  const TCustomParam* b = fields[2].present ? cm.Evaluate(Expr(2)) : nullptr;
  eventsBlocked_ = b ? b->GetFlag() : false;
}

void TComWait::Execute(TCallMan& cm) {
  TOrvaParser* w = Expr(0);
  const bool hasCondition = w && w->StepCount() > 0;
  if (hasCondition && !cm.Holds(w)) {
    ++cm.Index();
    return;
  }
  if (remaining_ != 0) {
    // The frame in which the wait begins does not count.
    if (firstStep_ > 0)
      --firstStep_;
    else
      remaining_ -= cm.Host().FrameDelta();
    if (remaining_ <= 0) {
      ++cm.Index();
      return;
    }
  }
  cm.SetRunOn(false);
}

void TComWait::SaveState(TStream& out) const {
  out.WriteBytes("orva100");
  out.WriteInt32(remaining_);
  out.WriteInt32(firstStep_);
  out.WriteBool(eventsBlocked_);
}

void TComWait::LoadState(TStream& in) {
  char marker[kMarkerLength] = {};
  const int64_t start = in.GetPosition();
  int version = 0;
  if (in.Read(marker, kMarkerLength) == kMarkerLength && std::string(marker, 4) == "orva") {
    version = (marker[4] - '0') * 100 + (marker[5] - '0') * 10 + (marker[6] - '0');
  } else {
    in.SetPosition(start);
  }
  remaining_ = in.ReadInt32();
  firstStep_ = in.ReadInt32();
  if (version >= 100) eventsBlocked_ = in.ReadBool();
}

void TComWhile::Execute(TCallMan& cm) {
  ++cm.Index();
  if (!cm.Holds(Expr(0))) cm.Index() = Number(1);
}

void TComWhileInit::Execute(TCallMan& cm) {
  cm.Evaluate(Expr(0));
  ++cm.Index();
}

void TComWhileLoop::Execute(TCallMan& cm) {
  cm.Index() = Number(1);
  cm.Evaluate(Expr(0));
}

void TComCalc::Execute(TCallMan& cm) {
  ++cm.Index();
  cm.Evaluate(Expr(0));
}

void TComVarNew::Execute(TCallMan& cm) {
  ++cm.Index();
  const std::string& name = Text(0);
  if (name.empty()) throw OrvaError::Utf8("変数名がありません");
  const int type = Number(1);
  const int scope = Number(3);
  TParamCollection& vars = cm.Vars();
  TParamCollectionItem* item = vars.FindForDeclare(name, scope == 2);
  if (!item) {
    item = &vars.AddVariable(type);
    vars.SetName(*item, name);
    if (scope == 1 || scope == 2) item->scope = cm.FrameCount();
    if (scope == 2) item->local = true;
    if (scope == 3) item->status = true;
  } else if (item->status) {
    return;  // a status variable is initialised only once
  }
  const TCustomParam* v = cm.Evaluate(Expr(2));
  if (!v) return;
  SetScalarAs(*item->Value(), type, *v);
}

void TComVarDel::Execute(TCallMan& cm) {
  ++cm.Index();
  if (Text(0).empty()) return;
  if (TParamCollectionItem* item = cm.Vars().FindVariable(Text(0)))
    if (!item->IsSystem()) cm.Vars().DeleteVariable(*item);
}

void TComDoEvent::Execute(TCallMan& cm) { ++cm.Index(); }

void TComTerminate::Execute(TCallMan& cm) {
  cm.Host().SetTerminating(true);
  cm.Host().RequestClose();
}

void TComGameSave::Execute(TCallMan& cm) {
  ++cm.Index();
  const TCustomParam* slot = cm.Evaluate(Expr(0));
  cm.pendingSave.slot = slot ? slot->GetInt() : 0;
  cm.pendingSave.page = Text(1);
  cm.pendingSave.index = fields[2].present ? Number(2) : 0;
  const TCustomParam* title = cm.Evaluate(Expr(3));
  cm.pendingSave.title = title ? title->GetStr() : std::string();
}

void TComGameLoad::Execute(TCallMan& cm) {
  ++cm.Index();
  const TCustomParam* slot = cm.Evaluate(Expr(0));
  cm.pendingLoad = slot ? slot->GetInt() : 0;
}

void TComPCReset::Execute(TCallMan& cm) {
  TParamCollection& vars = cm.Vars();
  const int frames = cm.FrameCount();
  vars.FreeScope(frames);
  if (Number(2) != 0) {
    // Everything goes: every frame's locals, the half-done commands of the
    // main script, and every queued event.
    for (int k = frames - 1; k >= 0; --k) {
      vars.FreeScope(k);
      TStack& f = cm.Frame(k);
      if (!f.sender && f.begun && !f.pageName.empty()) {
        TPage* p = cm.GetPage(f.pageName, false);
        if (f.returnIndex >= 0 && f.returnIndex < p->Commands().Count()) p->Commands().At(f.returnIndex).Abort();
      }
    }
    cm.Start(Text(0));
    cm.Index() = Number(1);
    cm.Events().Clear();
    return;
  }
  // Redirect the main script and let the running handler finish.
  int lowestEvent = -1;
  for (int k = 0; k < frames; ++k)
    if (cm.Frame(k).sender) {
      lowestEvent = k;
      break;
    }
  if (lowestEvent < 0 && cm.Sender()) lowestEvent = frames;
  int mainFrame = -1;
  for (int k = lowestEvent - 1; k >= 0; --k)
    if (!cm.Frame(k).sender) {
      mainFrame = k;
      break;
    }
  if (mainFrame >= 0) {
    vars.FreeScope(mainFrame + 1);
    TStack& f = cm.Frame(mainFrame);
    f.pageName = Text(0);
    f.returnIndex = Number(1);
    f.begun = false;
    f.resultVar.clear();
    f.args.clear();
    f.savedState.reset();
    ++cm.Index();
  } else {
    cm.SetCurrentPage(cm.GetPage(Text(0), true));
    cm.Index() = Number(1);
  }
  cm.Events().RemoveRunning();
}

void TComReset::Execute(TCallMan& cm) {
  cm.Host().ResetWorld();
  cm.Vars().ResetVariables();
  cm.Start(Text(0));
  cm.Index() = Number(1);
}

std::unique_ptr<TCommand> CreateCommandOfLayout(const CommandLayout& layout) {
  switch (layout.code) {
    case 0: return std::make_unique<TComIf>(layout);
    case 1: return std::make_unique<TComElseif>(layout);
    case 2: return std::make_unique<TComElse>(layout);
    case 3: return std::make_unique<TComLabel>(layout);
    case 4: return std::make_unique<TComJump>(layout);
    case 5: return std::make_unique<TComCall>(layout);
    case 6: return std::make_unique<TComExit>(layout);
    case 7: return std::make_unique<TComWait>(layout);
    case 11: return std::make_unique<TComTimer>(layout);
    case 14: return std::make_unique<TComCalc>(layout);
    case 15: return std::make_unique<TComVarNew>(layout);
    case 16: return std::make_unique<TComVarDel>(layout);
    case 27: return std::make_unique<TComComment>(layout);
    case 31: return std::make_unique<TComWhile>(layout);
    case 32: return std::make_unique<TComWhileInit>(layout);
    case 33: return std::make_unique<TComWhileLoop>(layout);
    case 34: return std::make_unique<TComBreak>(layout);
    case 35: return std::make_unique<TComContinue>(layout);
    case 38: return std::make_unique<TComGameSave>(layout);
    case 39: return std::make_unique<TComGameLoad>(layout);
    case 40: return std::make_unique<TComPCReset>(layout);
    case 41: return std::make_unique<TComReset>(layout);
    case 42: return std::make_unique<TComSound>(layout);
    case 45: return std::make_unique<TComTerminate>(layout);
    case 46: return std::make_unique<TComDoEvent>(layout);
    case 59:
    case 60: return std::make_unique<TComCabinet>(layout);
    case 61:
    case 63: return std::make_unique<TComIfdef>(layout);
    case 62: return std::make_unique<TComIfndef>(layout);
    default: break;
  }
  for (const auto& f : layout.fields)
    if (f.kind == FieldKind::Props) return std::make_unique<TComControl>(layout);
  return std::make_unique<TCommand>(layout);
}

}  // namespace orva
