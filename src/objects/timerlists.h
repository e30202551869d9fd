// The event queue. Components never run script code themselves: each event
// becomes a record here, and the interpreter takes waiting records between
// commands, runs the page the record names, and removes the record when that
// call returns.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/streams.h"

namespace orva {

class TOrvaObject;

struct TTimerData {
  std::string page;            // page name, optionally ":" and a label
  TOrvaObject* object = nullptr;  // the sender; null when it is gone
  uint8_t eventCode = 0;       // the event property's number
  int32_t level = 0;           // 0 while waiting, else the level it runs at
  std::vector<std::string> args;
};

class TTimerList {
 public:
  using NameOf = std::function<std::string(const TOrvaObject*)>;
  using FindByName = std::function<TOrvaObject*(const std::string&)>;

  // Appends a waiting record. An empty page means the object has no handler
  // for the event: nothing is queued. Returns the record or null.
  TTimerData* Queue(TOrvaObject* object, const std::string& page, const std::vector<std::string>& args,
                    uint8_t eventCode);
  // Index of the first record (waiting or running) of that object and code.
  int FindEvent(const TOrvaObject* object, uint8_t eventCode) const;
  // The oldest waiting record, or null.
  TTimerData* NextWaiting();
  void RemoveLevel(int32_t level);
  void RemoveRunning();
  void RemoveWaiting(const TOrvaObject* object);
  // The object is being destroyed: its waiting records go, and running ones
  // carry on without a sender.
  void Forget(const TOrvaObject* object);
  void Remove(const TTimerData* record);
  void Clear() { records_.clear(); }

  int Count() const { return static_cast<int>(records_.size()); }
  TTimerData& At(int i) { return *records_.at(static_cast<size_t>(i)); }

  // Saved form inside the registry record. Records of saves of version 113
  // and older hold the level as one byte (any non-zero byte runs at level 1).
  void WriteToStream(TStream& out, const NameOf& nameOf) const;
  void ReadFromStream(TStream& in, int version, const FindByName& find);

 private:
  std::vector<std::unique_ptr<TTimerData>> records_;
};

}  // namespace orva
