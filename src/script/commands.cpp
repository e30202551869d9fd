#include "script/commands.h"

#include "common/errors.h"
#include "script/controlcommands.h"

namespace orva {

namespace {

constexpr int kPropertyCount = 173;

std::unique_ptr<TOrvaParser> ReadExpr(TStream& in) {
  auto p = std::make_unique<TOrvaParser>();
  p->LoadFromStream(in);
  return p;
}

}  // namespace

TCommand::TCommand(const CommandLayout& layout) : typeByte(layout.code), layout_(layout) { fields.resize(layout.fields.size()); }

TCommand::~TCommand() = default;

void TCommand::Execute(TCallMan& cm) { NotAvailable(); }

void TCommand::NotAvailable() const { throw OrvaError::Format("%s:未実装のコマンドです", layout_.className); }

void TCommand::Load(TStream& in, int pageVersion, const PropertyMask& mask) {
  indentLevel = in.ReadInt32();
  disabledFlag = in.ReadByte() != 0;
  runOnFlag = in.ReadByte() != 0;
  lineNumber = in.ReadInt32();
  for (size_t f = 0; f < layout_.fields.size(); ++f) {
    const FieldLayout& fs = layout_.fields[f];
    CommandField& v = fields[f];
    v.present = pageVersion > fs.sinceVersion || fs.sinceVersion == 0;
    if (!v.present) continue;
    switch (fs.kind) {
      case FieldKind::Expr: v.expr = ReadExpr(in); break;
      case FieldKind::String: v.text = in.ReadString(); break;
      case FieldKind::TextData: v.text = in.ReadString(); break;
      case FieldKind::Int: v.number = in.ReadInt32(); break;
      case FieldKind::Byte: v.number = in.ReadByte(); break;
      case FieldKind::ExprList: {
        int32_t n = in.ReadCount(4);
        for (int32_t k = 0; k < n; ++k) v.list.push_back(ReadExpr(in));
        break;
      }
      case FieldKind::Props:
        for (int id = 0; id < kPropertyCount; ++id)
          if (mask.test(static_cast<size_t>(id))) v.props.emplace_back(id, ReadExpr(in));
        break;
    }
  }
}

void TCommand::Save(TStream& out, int pageVersion, const PropertyMask& mask) const {
  out.WriteInt32(indentLevel);
  out.WriteByte(disabledFlag ? 1 : 0);
  out.WriteByte(runOnFlag ? 1 : 0);
  out.WriteInt32(lineNumber);
  TOrvaParser empty;
  auto writeExpr = [&](const TOrvaParser* p) { (p ? *p : empty).SaveToStream(out); };
  for (size_t f = 0; f < layout_.fields.size(); ++f) {
    const FieldLayout& fs = layout_.fields[f];
    if (!(pageVersion > fs.sinceVersion || fs.sinceVersion == 0)) continue;
    const CommandField& v = fields[f];
    switch (fs.kind) {
      case FieldKind::Expr: writeExpr(v.expr.get()); break;
      case FieldKind::String:
      case FieldKind::TextData: out.WriteString(v.text); break;
      case FieldKind::Int: out.WriteInt32(v.number); break;
      case FieldKind::Byte: out.WriteByte(static_cast<uint8_t>(v.number)); break;
      case FieldKind::ExprList:
        out.WriteInt32(static_cast<int32_t>(v.list.size()));
        for (const auto& e : v.list) writeExpr(e.get());
        break;
      case FieldKind::Props: {
        // One expression per set bit, whatever the command holds.
        size_t k = 0;
        for (int id = 0; id < kPropertyCount; ++id) {
          if (!mask.test(static_cast<size_t>(id))) continue;
          const TOrvaParser* e = nullptr;
          while (k < v.props.size() && v.props[k].first < id) ++k;
          if (k < v.props.size() && v.props[k].first == id) e = v.props[k].second.get();
          writeExpr(e);
        }
        break;
      }
    }
  }
}

std::unique_ptr<TCommand> CreateCommand(int typeByte) {
  if (typeByte < 0 || (typeByte & 0x40)) throw OrvaError::Utf8("不正なコマンド");
  const CommandLayout* layout = CommandLayoutOf(typeByte & 0x7F);
  if (!layout) throw OrvaError::Utf8("不正なコマンド");
  auto cmd = CreateCommandOfLayout(*layout);
  cmd->typeByte = static_cast<uint8_t>(typeByte);
  return cmd;
}

}  // namespace orva
