#include "script/projects.h"

#include "common/cp932.h"
#include "common/errors.h"
#include "common/log.h"
#include "common/paths.h"
#include "expr/paramcollection.h"
#include "expr/extended.h"
#include "platform/message_box.h"
#include "storage/vrfiles.h"

namespace orva {

TProject::TProject(Services services) : s_(std::move(services)) {
  settings.title = Sys("情報");
  settings.diskPrompt = Sys("ディスク%dを入れてから[OK]をクリックしてください");
  settings.quitText = Sys("終了します");
}

TProject::~TProject() = default;

void TProject::Warn(const std::string& cp932Text) {
  if (s_.messageBox)
    s_.messageBox->Show(cp932::ToUtf8(cp932Text), "警告", platform::MessageButtons::Ok,
                        platform::MessageIcon::Warning);
  else
    log::Warning(cp932::ToUtf8(cp932Text));
}

bool TProject::Create() {
  IScriptHost& host = s_.host;
  host.SetTerminating(true);  // any failure below ends the program
  if (!s_.configOnly && !s_.files.LocateInstallation(s_.programFolder)) return false;

  TMxMemoryStream bytes;
  try {
    s_.files.LoadEntry(bytes, "orva.opb");
  } catch (const OrvaError&) {
    bytes.Clear();  // a read error counts as an empty file
  }
  if (bytes.GetSize() == 0) {
    Warn(Sys("プロジェクトがありません"));
    host.SetFatalError();
    return false;
  }
  try {
    TProjectFile file;
    file.Read(bytes);
    settings = std::move(file);
  } catch (const OrvaError& e) {
    Warn(e.message());
    host.SetFatalError();
    return false;
  }

  s_.vars.title = settings.title;
  s_.vars.screenWidth = settings.width;
  s_.vars.screenHeight = settings.height;
  s_.files.SetDiskPrompt({settings.title, settings.diskPrompt, settings.quitText});
  if (s_.restoreStatus) s_.restoreStatus(*this);

  for (const TParamData& d : settings.variables) {
    if (d.name.empty() || d.type < PT_INT || d.type > PT_STR || s_.vars.FindVariable(d.name)) continue;
    try {
      TParamCollectionItem& item = s_.vars.AddVariable(d.type);
      s_.vars.SetName(item, d.name);
      item.reserved = 1;  // declared by the project
      TCustomParam& v = *item.Value();
      switch (d.type) {
        case PT_INT: v.SetInt(d.intValue); break;
        case PT_FLOAT: v.SetFloat(DecodeExtended(d.floatValue)); break;
        case PT_BOOL: v.SetFlag(d.flagValue != 0); break;
        case PT_STR: v.SetStr(d.strValue); break;
        default: break;
      }
    } catch (const OrvaError& e) {
      log::Warning("declared variable " + cp932::ToUtf8(d.name) + ": " + e.what());
    }
  }
  host.SetTerminating(false);

  if (s_.files.FileExistsVfs("/original_orva.opb")) {
    try {
      TMxMemoryStream original;
      s_.files.LoadEntry(original, "/original_orva.opb");
      TProjectFile file;
      file.Read(original);
      settings.folderDisks = std::move(file.folderDisks);
    } catch (const OrvaError& e) {
      log::Warning(std::string("/original_orva.opb: ") + e.what());
    }
  }

  callMan_ = std::make_unique<TCallMan>(TCallMan::Services{
      s_.vars, s_.funcs, s_.events, host, [this](const std::string& n) { return CanReach(n); },
      [this](const std::string& n, TMxMemoryStream& out) { s_.files.LoadEntry(out, n); }});
  if (!s_.files.FileExistsVfs(settings.startPage)) {
    Warn(Sys("スタートページがありません"));
    host.SetTerminating(true);
    host.SetFatalError();
    return false;
  }
  try {
    callMan_->Start(settings.startPage);
  } catch (const OrvaError& e) {
    Warn(e.message());
    host.SetTerminating(true);
    host.SetFatalError();
    return false;
  }
  return true;
}

bool TProject::CanReach(const std::string& name) {
  if (s_.files.FileExistsVfs(name)) return true;
  // The disc a folder lives on: the name's folder, then its parents.
  std::string folder = paths::ExtractFilePath(name);
  int disk = 0;
  while (!folder.empty() && disk == 0) {
    for (const auto& fd : settings.folderDisks)
      if (cp932::SameTextCI(paths::IncludeTrailingBackslash(fd.folder), folder)) {
        disk = fd.disk;
        break;
      }
    if (disk != 0) break;
    std::string parent = folder.substr(0, folder.size() - 1);
    folder = paths::ExtractFilePath(parent);
  }
  if (disk <= 0) return false;
  // Optional media on an absent disc are simply missing.
  std::string ext = cp932::ToLower(paths::ExtractFileExt(name)) + ".";
  std::string list = cp932::ToLower(settings.mediaExtensions) + ".";
  if (ext != "." && list.find(ext) != std::string::npos) return false;
  return s_.files.AskForDisk(disk);
}

void TProject::RunExitPage() {
  if (!callMan_ || settings.exitPage.empty() || !s_.files.FileExistsVfs(settings.exitPage)) return;
  try {
    callMan_->Start(settings.exitPage);
  } catch (const OrvaError& e) {
    log::Warning(std::string("exit page: ") + e.what());
    return;
  }
  s_.host.SetTerminating(false);
  callMan_->Run();
  s_.host.SetTerminating(true);
}

}  // namespace orva
