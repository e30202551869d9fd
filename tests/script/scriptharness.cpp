#include "scriptharness.h"

#include <gtest/gtest.h>

#include "common/cp932.h"
#include "expr/sysfuncs_library.h"

namespace orvatest {

using namespace orva;

namespace {
TVrFileManager::Options NoDiscs() {
  TVrFileManager::Options o;
  o.cdRoots = std::vector<std::string>{};
  return o;
}
}  // namespace

ScriptHarness::ScriptHarness() : files(NoDiscs()) { RegisterSystemFunctions(funcs); }
ScriptHarness::~ScriptHarness() { cm.reset(); }

TOrvaObject* ScriptHarness::Object(int n) { return reinterpret_cast<TOrvaObject*>(static_cast<uintptr_t>(n) * 64); }

std::string ScriptHarness::ObjectName(const TOrvaObject* o) {
  return "obj" + std::to_string(reinterpret_cast<uintptr_t>(o) / 64);
}

TOrvaObject* ScriptHarness::FindObject(const std::string& name) {
  if (name.rfind("obj", 0) != 0) return nullptr;
  return Object(std::stoi(name.substr(3)));
}

void ScriptHarness::AddPage(const std::string& name, const std::string& source) {
  const std::string cpName = cp932::FromUtf8(name);
  sources[cpName] = source;
  PageAsmOptions o;
  o.resolveLabel = [this](const std::string& page, const std::string& label) -> std::optional<int32_t> {
    auto it = sources.find(page);
    if (it == sources.end()) return std::nullopt;
    auto labels = ScanPageLabels(it->second);
    auto l = labels.find(label);
    if (l == labels.end()) return std::nullopt;
    return l->second;
  };
  auto page = AssemblePage(source, cpName, o);
  TMxMemoryStream m;
  page->SaveToStream(m);
  files.MemoryCollection().AddMemoryEntry(cpName).WriteBytes(m.AsString());
}

void ScriptHarness::Start(const std::string& page) {
  cm = std::make_unique<TCallMan>(TCallMan::Services{
      vars, funcs, events, *this, [this](const std::string& n) { return files.FileExistsVfs(n); },
      [this](const std::string& n, TMxMemoryStream& out) { files.LoadEntry(out, n); }});
  cm->Start(cp932::FromUtf8(page));
}

void ScriptHarness::Tick(int n) {
  for (int i = 0; i < n && !terminating; ++i) {
    time += delta;
    cm->Run();
  }
}

void ScriptHarness::Ints(std::initializer_list<const char*> names) {
  for (const char* n : names) vars.Declare(n, PT_INT);
}

void ScriptHarness::Strs(std::initializer_list<const char*> names) {
  for (const char* n : names) vars.Declare(n, PT_STR);
}

bool ScriptHarness::Has(const std::string& name) const { return vars.FindVariable(cp932::FromUtf8(name)) != nullptr; }

int32_t ScriptHarness::Int(const std::string& name) const {
  auto* v = vars.FindVariable(cp932::FromUtf8(name));
  EXPECT_NE(v, nullptr) << name;
  return v ? v->Value()->GetInt() : -999999;
}

std::string ScriptHarness::Str(const std::string& name) const {
  auto* v = vars.FindVariable(cp932::FromUtf8(name));
  EXPECT_NE(v, nullptr) << name;
  return v ? v->Value()->GetStr() : "<missing>";
}

void ScriptHarness::Queue(const std::string& page, std::vector<std::string> args, int object, uint8_t code) {
  events.Queue(object ? Object(object) : nullptr, cp932::FromUtf8(page), args, code);
}

}  // namespace orvatest
