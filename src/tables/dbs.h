// Data tables: named in-memory tables with typed fields and fixed-size
// records that scripts fill, search, sort, copy and save. One TDBManager
// holds every table of the run and knows the active one. This subsystem may
// include common/, storage/ and expr/ (values, the 10-byte float and the
// number texts); the script functions that reach it are in dbfuncs.h.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "expr/extended.h"

namespace orva {

class TStream;

// Field type codes, as DBAddField takes them and saves store them.
enum class TDBFieldType : uint8_t { Int = 1, Float = 2, Bool = 3, Str = 4 };

// A game table belongs to the running game (game saves, Reset); a status
// table survives across games (the status save).
enum class TDBKind : uint8_t { Game = 0, Status = 1 };

// Bounds that keep damaged saves, scripts and table files from building
// fields or records that cannot be held.
inline constexpr int32_t kDBMaxDeclaredSize = 10485760;
inline constexpr int32_t kDBMaxRecordSize = 64 * 1024 * 1024;
// Records of a table without fields take no bytes; a save may hold at most
// this many of them.
inline constexpr int32_t kDBMaxEmptyRecords = 1 << 24;

struct TDBField {
  int32_t size = 0;  // stored size in bytes
  std::string name;
  TDBFieldType type = TDBFieldType::Int;
  int32_t offset = 0;  // byte offset inside a record

  // What the field was declared with: the text's room for strings, the
  // stored size for the others.
  int32_t DeclaredSize() const { return type == TDBFieldType::Str ? size - 1 : size; }
};

// The type word of table files and dumps: "int", "float", "bool", "string".
const char* FieldTypeWord(TDBFieldType type);

// Stored size of a field of the type and declared size, or nullopt when the
// type code is not 1-4 or a string's declared size is outside
// 0 ... kDBMaxDeclaredSize.
std::optional<int32_t> StoredFieldSize(int typeCode, int32_t declaredSize);

class TDBCustomTable;

// The fields of one table in order, their offsets and the record size.
class TDBFieldList {
 public:
  explicit TDBFieldList(TDBCustomTable* owner) : owner_(owner) {}

  int Count() const { return static_cast<int>(fields_.size()); }
  const TDBField& operator[](int i) const { return fields_[static_cast<size_t>(i)]; }
  const std::vector<TDBField>& Fields() const { return fields_; }
  int32_t RecordSize() const { return recordSize_; }
  TDBCustomTable* Owner() const { return owner_; }

  // Index of the field with that name (case-insensitive), or -1.
  int IndexOf(std::string_view name) const;
  // Appends a field; the caller has checked the name and the sizes.
  const TDBField& Append(std::string name, TDBFieldType type, int32_t storedSize);
  void Clear();
  // Same count and, position by position, the same name (case-sensitive),
  // type and stored size.
  bool SameAs(const TDBFieldList& other) const;

 private:
  std::vector<TDBField> fields_;
  int32_t recordSize_ = 0;
  TDBCustomTable* owner_;
};

// A key value of Locate; its type decides how a field is compared.
using TDBValue = std::variant<int32_t, Float, bool, std::string>;

struct TDBKey {
  std::string field;
  TDBValue value;
};

struct TDBSortKey {
  std::string field;
  bool descending = false;
};

// What LoadFromLines passed over, for authors checking their files.
struct TDBLoadReport {
  std::vector<std::string> warnings;  // CP932 texts
};

class TDBCustomTable {
 public:
  TDBCustomTable(std::string name, TDBKind kind) : name_(std::move(name)), kind_(kind), fields_(this) {}
  virtual ~TDBCustomTable() = default;
  TDBCustomTable(const TDBCustomTable&) = delete;
  TDBCustomTable& operator=(const TDBCustomTable&) = delete;

  const std::string& Name() const { return name_; }
  TDBKind Kind() const { return kind_; }
  const TDBFieldList& FieldList() const { return fields_; }

  // Written before each table in saves.
  virtual uint8_t ClassCode() const = 0;
  virtual int32_t RecordCount() const = 0;
  // -1 when there is no current record.
  virtual int32_t RecNo() const = 0;
  // The record image at an index (RecordSize bytes), null outside the table.
  virtual const uint8_t* Record(int32_t index) const = 0;
  const uint8_t* CurrentRecord() const { return Record(RecNo()); }

  // Adds a field: -1 for a repeated name, a type code outside 1-4, a
  // declared size outside 0 ... kDBMaxDeclaredSize or a record that would
  // grow past kDBMaxRecordSize; otherwise every record is widened by the
  // field's zeroed bytes and the new field's index is the result.
  int AddField(const std::string& name, int typeCode, int32_t declaredSize);

  virtual bool SetRecNo(int32_t n) = 0;
  // Appends a zeroed record, which becomes current.
  virtual bool InsertRecord() = 0;
  virtual bool DeleteRecord() = 0;
  virtual bool FindFirst() = 0;
  virtual bool FindLast() = 0;
  virtual bool FindNext() = 0;
  virtual bool FindPrior() = 0;

  // Accessors on the current record by field name; false when there is no
  // current record, no such field, or the value cannot be converted.
  bool GetInt(std::string_view field, int32_t& out) const;
  bool SetInt(std::string_view field, int32_t v);
  bool GetFloat(std::string_view field, Float& out) const;
  bool SetFloat(std::string_view field, Float x);
  bool GetBool(std::string_view field, bool& out) const;
  bool SetBool(std::string_view field, bool b);
  bool GetStr(std::string_view field, std::string& out) const;
  bool SetStr(std::string_view field, std::string_view s);

  // The same at (record index, field index).
  virtual bool GetIntAt(int32_t rec, int field, int32_t& out) const = 0;
  virtual bool SetIntAt(int32_t rec, int field, int32_t v) = 0;
  virtual bool GetFloatAt(int32_t rec, int field, Float& out) const = 0;
  virtual bool SetFloatAt(int32_t rec, int field, Float x) = 0;
  virtual bool GetBoolAt(int32_t rec, int field, bool& out) const = 0;
  virtual bool SetBoolAt(int32_t rec, int field, bool b) = 0;
  virtual bool GetStrAt(int32_t rec, int field, std::string& out) const = 0;
  virtual bool SetStrAt(int32_t rec, int field, std::string_view s) = 0;

  // Indices of the records whose key fields equal the key values, in
  // order; every record for an empty key list; none when a key names no
  // field. LocateFirst stops at the first match (-1 for none).
  virtual std::vector<int32_t> Locate(const std::vector<TDBKey>& keys, bool caseInsensitive, bool partial) const = 0;
  virtual int32_t LocateFirst(const std::vector<TDBKey>& keys, bool caseInsensitive, bool partial) const = 0;
  // Reorders the records by the keys (names that are not fields are
  // skipped), stably; the current index stays where it is.
  virtual void Sort(const std::vector<TDBSortKey>& keys) = 0;
  // Replaces fields and records with a header line and data lines; false
  // (and the table as it was) for no lines or a header cell without a name.
  virtual bool LoadFromLines(const std::vector<std::string>& lines, TDBLoadReport* report = nullptr) = 0;
  // Fields and records.
  virtual void ClearTable() = 0;
  virtual void ClearRecords() = 0;

  // The table record of saves: name, kind, fields, records, current index.
  virtual void Save(TStream& s) const;
  // Reads a table record into this (new) table; damaged data throws
  // OrvaError and the table is to be thrown away.
  virtual void Load(TStream& s);

 protected:
  // Every record grows by the new last field's stored size.
  virtual void FieldAdded(const TDBField& field) = 0;
  virtual void SaveRecords(TStream& s) const = 0;
  virtual void LoadRecords(TStream& s) = 0;

  std::string name_;
  TDBKind kind_;
  TDBFieldList fields_;
};

// The one concrete table: records in one contiguous buffer of
// count x record size bytes.
class TDBTable final : public TDBCustomTable {
 public:
  using TDBCustomTable::TDBCustomTable;

  uint8_t ClassCode() const override { return 0; }
  int32_t RecordCount() const override { return count_; }
  int32_t RecNo() const override { return recNo_; }
  const uint8_t* Record(int32_t index) const override;
  uint8_t* MutableRecord(int32_t index) { return const_cast<uint8_t*>(Record(index)); }

  bool SetRecNo(int32_t n) override;
  bool InsertRecord() override;
  bool DeleteRecord() override;
  bool FindFirst() override;
  bool FindLast() override;
  bool FindNext() override;
  bool FindPrior() override;

  bool GetIntAt(int32_t rec, int field, int32_t& out) const override;
  bool SetIntAt(int32_t rec, int field, int32_t v) override;
  bool GetFloatAt(int32_t rec, int field, Float& out) const override;
  bool SetFloatAt(int32_t rec, int field, Float x) override;
  bool GetBoolAt(int32_t rec, int field, bool& out) const override;
  bool SetBoolAt(int32_t rec, int field, bool b) override;
  bool GetStrAt(int32_t rec, int field, std::string& out) const override;
  bool SetStrAt(int32_t rec, int field, std::string_view s) override;
  // The text of a string field without a copy (stops at the terminator or
  // at the field's end); empty for other fields.
  std::string_view TextAt(int32_t rec, int field) const;

  std::vector<int32_t> Locate(const std::vector<TDBKey>& keys, bool caseInsensitive, bool partial) const override;
  int32_t LocateFirst(const std::vector<TDBKey>& keys, bool caseInsensitive, bool partial) const override;
  void Sort(const std::vector<TDBSortKey>& keys) override;
  bool LoadFromLines(const std::vector<std::string>& lines, TDBLoadReport* report = nullptr) override;
  void ClearTable() override;
  void ClearRecords() override;

  // Appends copies of record images of the same record size; the last one
  // becomes current. The images are copied before the buffer grows, so they
  // may come from this table.
  void AppendImages(const std::vector<const uint8_t*>& images);
  // Takes another table's fields and records (used to swap in content that
  // was built aside).
  void TakeContent(TDBTable& from);

 protected:
  void FieldAdded(const TDBField& field) override;
  void SaveRecords(TStream& s) const override;
  void LoadRecords(TStream& s) override;

 private:
  template <class Visit>
  void ForEachMatch(const std::vector<TDBKey>& keys, bool caseInsensitive, bool partial, Visit&& visit) const;
  const TDBField* FieldAt(int32_t rec, int field) const;

  std::vector<uint8_t> data_;
  int32_t count_ = 0;
  int32_t recNo_ = -1;
};

// The tables of the run and the active one.
class TDBManager {
 public:
  TDBManager() = default;
  TDBManager(TDBManager&&) = default;
  TDBManager& operator=(TDBManager&&) = default;

  int Count() const { return static_cast<int>(tables_.size()); }
  TDBTable& At(int i) const { return *tables_[static_cast<size_t>(i)]; }

  // Index of the new or existing table that became active, or -1 for an
  // empty name. An existing table requested as a game table is emptied; as
  // a status table it keeps its content. Its own kind never changes.
  int CreateTable(const std::string& name, TDBKind kind);
  bool DeleteTable(const std::string& name);
  // Deletes the table at an index; the active table stays active by name.
  void DeleteTableAt(int index);
  // Every table of both kinds; no active table.
  void ClearTables();
  // Every game table (the Reset command); status tables stay.
  void ResetGameTables();
  int IndexOfTable(std::string_view name) const;
  TDBTable* FindTable(std::string_view name) const;
  TDBTable* ActiveTable() const;
  int ActiveIndex() const { return active_; }
  // False (and the active table unchanged) when there is no such table.
  bool SetActiveTable(std::string_view name);

  // The target gets the active table's fields and copies of its records at
  // the indices. False without an active table, for a missing target and
  // for the active table itself.
  bool CopyRecordsTo(const std::string& target, const std::vector<int32_t>& indices);
  // The active table gets copies of the source's records at the indices;
  // the source may be the active table. False without an active table, for
  // a missing source and when the field lists differ.
  bool AppendRecordsFrom(const std::string& source, const std::vector<int32_t>& indices);

  // Direct access: the first record of the named table matching the keys,
  // and the named field. Neither the active table nor any current record
  // changes. False when the table, a match or the field is missing, or the
  // value cannot be converted.
  struct Direct {
    std::string table;
    std::vector<TDBKey> keys;
    bool caseInsensitive = false;
    bool partial = false;
    std::string field;
  };
  bool DirectGetInt(const Direct& d, int32_t& out) const;
  bool DirectSetInt(const Direct& d, int32_t v);
  bool DirectGetFloat(const Direct& d, Float& out) const;
  bool DirectSetFloat(const Direct& d, Float x);
  bool DirectGetBool(const Direct& d, bool& out) const;
  bool DirectSetBool(const Direct& d, bool b);
  bool DirectGetStr(const Direct& d, std::string& out) const;
  bool DirectSetStr(const Direct& d, std::string_view s);

  // The table block of saves (kind Game: the game part, with the active
  // table's name; kind Status: the status part). Saving writes the whole
  // block or, when a table cannot be written, throws before writing
  // anything. Loading reads the whole block before anything changes: a
  // damaged block (including a table of the other kind) throws OrvaError
  // and leaves every table as it was; otherwise the tables of the kind are
  // replaced by the block's. The game part then activates the table of the
  // saved name; the status part, the last table it read (none for none).
  void SaveTableBlock(TStream& s, TDBKind kind) const;
  void LoadTableBlock(TStream& s, TDBKind kind);

 private:
  struct Located {
    TDBTable* table = nullptr;
    int32_t record = -1;
    int field = -1;
  };
  Located Find(const Direct& d) const;

  std::vector<std::unique_ptr<TDBTable>> tables_;
  int active_ = -1;
};

}  // namespace orva
