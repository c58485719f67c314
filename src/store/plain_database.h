// SQLite as it is, for data the library derives and keeps beside a catalogue (the web layer's index
// of titles, people and statistics): SQLite's own SQL rather than the library's dialect, in a file
// of its own, with the catalogue attached to read from in the same statements.
//
// Nothing here applies the catalogue's rules (case-insensitive keys, skipped rows, typed values):
// a catalogue is written only through Connection, and only read here.
//
// A PlainDatabase is used on one thread at a time. Its statements must not outlive it.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace zel::store {

// A prepared statement; reset and unbound by Prepare before each use.
class PlainStatement {
 public:
  explicit PlainStatement(sqlite3_stmt* statement) : statement_(statement) {}
  ~PlainStatement();
  PlainStatement(const PlainStatement&) = delete;
  PlainStatement& operator=(const PlainStatement&) = delete;

  // Parameters by 1-based position.
  PlainStatement& Bind(int index, int64_t value);
  PlainStatement& Bind(int index, double value);
  PlainStatement& Bind(int index, std::string_view text);
  PlainStatement& BindBlob(int index, std::string_view bytes);
  PlainStatement& BindNull(int index);

  // Moves to the next row: true while there is one. Raises zel::Error on failure.
  bool Step();
  // Runs a statement without results to its end.
  void Run();

  // Values of the current row by 0-based column; a null reads as 0, 0.0 or empty text. Texts in
  // a number column read as the number SQLite makes of them (0 for words), never as an error.
  bool IsNull(int column) const;
  int64_t Int(int column) const;
  double Real(int column) const;
  std::string Text(int column) const;
  std::string_view Blob(int column) const;

  void Reset();
  sqlite3_stmt* get() const { return statement_; }

 private:
  sqlite3_stmt* statement_;
};

class PlainDatabase {
 public:
  enum class Mode {
    kCreate,     // read and write, made when missing
    kReadWrite,  // read and write; the file must exist
    kReadOnly,   // reads only; the file must exist
    kImmutable   // reads only a file nobody writes meanwhile (its folder may not be writable)
  };
  // Opens `path`. Raises zel::Error with the engine's numbers (kCannotOpen, kNotADatabase...).
  static std::unique_ptr<PlainDatabase> Open(const std::string& path, Mode mode);
  ~PlainDatabase();
  PlainDatabase(const PlainDatabase&) = delete;
  PlainDatabase& operator=(const PlainDatabase&) = delete;

  // Runs statements without results, several separated by ";".
  void Execute(std::string_view sql);
  // The prepared statement of `sql`, reset and unbound; kept for the next call with the same text.
  // Valid until the next Clear or the end of the database.
  PlainStatement& Prepare(const std::string& sql);
  // Resets every kept statement, ending the reads they hold open (before COMMIT, and before a
  // table they read is dropped).
  void ResetAll();
  // Finalizes the kept statements.
  void Clear();

  // Attaches the file `path` under the schema name `name`, in `mode`.
  void Attach(const std::string& path, std::string_view name, Mode mode);

  // Makes `function(text)` callable as name(x) in SQL: deterministic, text in and text out; a null
  // argument gives null.
  using TextFunction = std::function<std::string(std::string_view)>;
  void DefineFunction(const std::string& name, TextFunction function);

  // Rows changed by the last INSERT, UPDATE or DELETE; the rowid of the last row inserted.
  int64_t Changes();
  int64_t LastInsertId();
  // Whether schema `name` (main, or an attached one) was opened read-only.
  bool IsReadOnly(std::string_view name = "main");
  const std::string& path() const { return path_; }

 private:
  PlainDatabase(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}
  sqlite3* db_;
  std::string path_;
  std::unordered_map<std::string, std::unique_ptr<PlainStatement>> statements_;
};

// The URI SQLite opens `path` with in `mode` (for ATTACH and for opening).
std::string PlainUri(const std::string& path, PlainDatabase::Mode mode);

}  // namespace zel::store
