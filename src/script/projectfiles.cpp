#include "script/projectfiles.h"

#include "common/cp932.h"
#include "common/errors.h"

namespace orva {

void TProjectFile::Read(TStream& in) {
  version = in.ReadInt32();
  if (version > kVersionMax) throw OrvaError::Utf8("このバージョンには対応していません");
  title = in.ReadString();
  width = in.ReadInt32();
  height = in.ReadInt32();
  fullScreen1 = in.ReadInt32();
  fullScreen2 = in.ReadInt32();
  startPage = in.ReadString();
  if (version >= 110) exitPage = in.ReadString();
  registryKey = in.ReadString();
  imageOption = in.ReadInt32();
  if (version > 103) writeSaveFile = in.ReadByte() != 0;
  if (version >= 106) sleepBetweenFrames = in.ReadByte() != 0;
  if (version >= 109) mediaExtensions = in.ReadString();
  if (version > 112) pauseWhenInactive = in.ReadByte() != 0;
  if (version >= 114) reserved = in.ReadByte();
  if (version >= 116) showToolbar = in.ReadByte() != 0;
  diskPrompt = in.ReadString();
  quitText = in.ReadString();
  // A variable record is at least a type byte and an empty name.
  int32_t n = in.ReadCount(1 + 4);
  variables.clear();
  for (int32_t i = 0; i < n; ++i) {
    TParamData v;
    v.type = in.ReadByte();
    v.name = in.ReadString();
    switch (v.type) {
      case 1: v.intValue = in.ReadInt32(); break;
      case 2: in.ReadExact(v.floatValue.data(), 10); break;
      case 3: v.flagValue = in.ReadByte(); break;
      case 4: v.strValue = in.ReadString(); break;
      default: break;
    }
    variables.push_back(std::move(v));
  }
  n = in.ReadCount(4 + 4);
  folderDisks.clear();
  for (int32_t i = 0; i < n; ++i) {
    TFolderDisk d;
    d.folder = in.ReadString();
    d.disk = in.ReadInt32();
    folderDisks.push_back(std::move(d));
  }
}

void TProjectFile::Write(TStream& out) const {
  out.WriteInt32(version);
  out.WriteString(title);
  out.WriteInt32(width);
  out.WriteInt32(height);
  out.WriteInt32(fullScreen1);
  out.WriteInt32(fullScreen2);
  out.WriteString(startPage);
  if (version >= 110) out.WriteString(exitPage);
  out.WriteString(registryKey);
  out.WriteInt32(imageOption);
  if (version > 103) out.WriteBool(writeSaveFile);
  if (version >= 106) out.WriteBool(sleepBetweenFrames);
  if (version >= 109) out.WriteString(mediaExtensions);
  if (version > 112) out.WriteBool(pauseWhenInactive);
  if (version >= 114) out.WriteByte(reserved);
  if (version >= 116) out.WriteBool(showToolbar);
  out.WriteString(diskPrompt);
  out.WriteString(quitText);
  out.WriteInt32(static_cast<int32_t>(variables.size()));
  for (const auto& v : variables) {
    out.WriteByte(v.type);
    out.WriteString(v.name);
    switch (v.type) {
      case 1: out.WriteInt32(v.intValue); break;
      case 2: out.WriteExact(v.floatValue.data(), 10); break;
      case 3: out.WriteByte(v.flagValue); break;
      case 4: out.WriteString(v.strValue); break;
      default: break;
    }
  }
  out.WriteInt32(static_cast<int32_t>(folderDisks.size()));
  for (const auto& d : folderDisks) {
    out.WriteString(d.folder);
    out.WriteInt32(d.disk);
  }
}

}  // namespace orva
