// The variable table: one hashed, ordered collection of named variables with
// global, auto-discarded, local and status scopes, the 51 system variables,
// the PushVar/PopVar snapshot stack and the save blocks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/hash.h"
#include "common/streams.h"
#include "expr/params.h"
#include "expr/sysvars.h"

namespace orva {

class TParamCollectionItem : public THashCollectionItem {
 public:
  explicit TParamCollectionItem(std::unique_ptr<TCustomParam> value, std::string name = {})
      : THashCollectionItem(std::move(name)), value_(std::move(value)) {}

  TCustomParam* Value() const { return value_.get(); }
  void SetValue(std::unique_ptr<TCustomParam> v) { value_ = std::move(v); }
  bool IsSystem() const { return value_->Kind() == ParamKind::System; }

  bool local = false;
  bool status = false;
  int32_t scope = -1;
  uint8_t reserved = 0;

 private:
  std::unique_ptr<TCustomParam> value_;
};

// Declaration scopes: global, auto-discard, local, status.
enum class VarScope { Global = 0, AutoDiscard = 1, Local = 2, Status = 3 };

class TParamCollection : public THashCollection<TParamCollectionItem> {
 public:
  explicit TParamCollection(TSystemVarSource* source = nullptr);
  ~TParamCollection() override;

  // ---- variables
  // Appends a variable of the type with no name yet (scope -1, flags clear);
  // the caller names it with SetName.
  TParamCollectionItem& AddVariable(int typeCode);
  // Names a variable. Empty names, names with a half-width space and names
  // starting with a digit are refused ("\"%s\"：変数名が不正です").
  void SetName(TParamCollectionItem& item, const std::string& name);
  // Adds and names a variable declared in a scope at the current depth.
  TParamCollectionItem& Declare(const std::string& name, int typeCode, VarScope scope = VarScope::Global);
  // The variable visible under name (the current execution's temporaries
  // first), or null.
  TParamCollectionItem* FindVariable(const std::string& name) const;
  // A local variable of the current scope (local) or a non-local one.
  TParamCollectionItem* FindForDeclare(const std::string& name, bool local) const;
  // A detached copy of the variable's value as an int, float, flag or string
  // value (null when absent; "%s:不正な変数です" for another type).
  std::unique_ptr<TCustomParam> GetValueCopy(const std::string& name) const;
  // The same for a value object ("%s:不正な変数です" names `name`).
  static std::unique_ptr<TCustomParam> CopyValue(const TCustomParam& src, const std::string& name);
  // Binds a reference loaded from a stream to the variable named by its
  // bound name (nothing for an empty name); "\"%s\" 変数がありません" when
  // there is no such variable.
  void BindReference(TParamVar& ref) const;
  // Removes and frees one variable (never a system variable; temporaries
  // belong to their run and are left alone).
  void DeleteVariable(TParamCollectionItem& item);
  // Frees every variable whose scope number is n.
  void FreeScope(int n);
  // Frees every variable that is neither system nor status; resets the
  // text delay and the default cursor.
  void ResetVariables();
  // to := from's dims (a scalar gives [1]) and elements converted to to's type.
  static void AssignValues(TCustomParam& to, const TCustomParam& from);

  int CurrentScope() const { return currentScope_; }
  void SetCurrentScope(int n);
  // Lowers by one the scope number of every variable whose scope number is
  // above n (a call frame below them was removed).
  void LowerScopesAbove(int n);
  // Callers that change a variable's local flag or scope number directly
  // call this so that cached lookups are redone.
  void Touch() { Bump(); }

  // ---- temporaries of expression runs. Each run pushes its own frame, so a
  // run nested inside another (Calc, text variables) never sees or changes
  // the outer run's temporaries.
  // The run that pushed the frame owns its temporaries and registers each
  // one here while it exists, so that lookups by name (VarExists, the run's
  // own result) see it.
  void PushTempFrame();
  void PopTempFrame();
  void RegisterTemporary(TParamCollectionItem& item);
  bool InExpression() const { return frameDepth_ > 0; }
  // Changes whenever a lookup could answer differently (variables added,
  // renamed or removed, scope changed); lets callers cache lookups.
  // Values are unique across all tables, so a cache never mistakes one table
  // for another.
  uint64_t Generation() const { return generation_; }

  // ---- program-wide values kept beside the table
  int32_t textDelay = 50;
  std::string defaultCursor;
  std::string selectedText;
  int32_t selectedIndex = 0;
  std::string tempAlias;  // @Temp, set by AssignTemp
  // Project values read by @Title, @ScrWidth and @ScrHeight.
  std::string title;
  int32_t screenWidth = 640;
  int32_t screenHeight = 480;

  TSystemVarSource& Source() const { return *source_; }
  void SetSource(TSystemVarSource* source);

  // ---- save blocks. Only variables of the four value kinds are written;
  // references (which live only inside one expression run) are skipped.
  void SaveVariables(TStream& s) const;
  void LoadVariables(TStream& s, int version);
  void SaveStatusVariables(TStream& s) const;
  void LoadStatusVariables(TStream& s, int version);

  // ---- PushVar / PopVar snapshots
  void PushVariables(const std::vector<std::string>& names);
  void PopVariables();
  int SnapshotCount() const { return static_cast<int>(snapshots_.size()); }

  // History legacy fields read from old game saves (versions 113-134).
  int32_t legacyHistoryFields[6] = {};

 private:
  // Renaming and removing go through the methods above so that the lookup
  // index stays right.
  using THashCollectionBase::Clear;
  using THashCollectionBase::Delete;
  using THashCollectionBase::Extract;
  using THashCollectionBase::Rename;


  static std::string Key(const std::string& name);
  void IndexAdd(TParamCollectionItem& item);
  void IndexRemove(TParamCollectionItem& item);
  void WriteRecord(TStream& s, const TParamCollectionItem& item) const;
  void ReadRecord(TStream& s);
  void FreeIf(bool (*pred)(const TParamCollectionItem&, int), int arg);
  static void SkipSnapshot(TStream& s);

  TSystemVarSource* source_;
  std::unique_ptr<TSystemVarSource> ownSource_;
  int currentScope_ = 0;
  void Bump();
  uint64_t generation_ = 0;
  // Folded name -> variables of that name in naming order (oldest first).
  std::unordered_map<std::string, std::vector<TParamCollectionItem*>> index_;
  // Frames of the running expressions (only the first frameDepth_ are in
  // use; the rest keep their capacity for the next runs).
  std::vector<std::vector<TParamCollectionItem*>> tempFrames_;
  size_t frameDepth_ = 0;
  // Variables removed while an expression runs, freed when the outermost run
  // ends.
  std::vector<std::unique_ptr<TParamCollectionItem>> retired_;
  std::vector<std::vector<uint8_t>> snapshots_;
};

}  // namespace orva
