// Control: the object a caller creates first. It opens, creates, closes and compacts catalogue
// files, hands out the one active ZelDatabase, and offers a few stateless helpers.
//
// There is at most one active catalogue per thread. Opening or creating releases the previous one
// before anything is checked, so after a failed open no catalogue is active. Objects read from a
// catalogue keep reading from and writing to it whichever is active. The learned crew mapping is
// forgotten whenever another catalogue is opened, created or closed, so each learns its own.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "frame/collection.h"
#include "frame/dictionary.h"
#include "frame/object.h"

namespace zel {

class ZelDatabase;

class Control : public Object {
 public:
  Control();
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  // The schema number this library writes: 89.
  int16_t CurrentDbSchema() const;
  // The active catalogue; error 2 "No active Zel database" when there is none.
  std::shared_ptr<ZelDatabase> ActiveDb() const;
  // Opens an existing file and makes it active; error 1 when no file is there. The file's schema
  // number becomes the active schema; it is not checked and no table is changed.
  std::shared_ptr<ZelDatabase> OpenDatabase(const std::string& file_path);
  // Closes the active catalogue's file: later use of that database object, its lists, objects read
  // from it and its record sets fails with 3420, so it can be compacted at once.
  void CloseDatabase();
  // Compacts a closed catalogue file in place; error 6 when it is the active one (under any
  // spelling of its path), 7 when missing, 3260 while anyone else has it open (a database object
  // still held, another program), and the errors of OpenDatabase for what is no catalogue.
  void CompactDatabase(const std::string& db_file_path);
  // Crew type of a role in the fixed table ("Director" -> "Direction"); empty when unknown.
  std::string GetProfilerCrewType(std::string_view crew_type) const;
  static std::string RemoveInvalidFileNameCharacters(std::string_view file_name);
  // Fills the fixed crew-type table when it is empty.
  void FillCrewType();
  static std::string Version();
  // Creates a new catalogue with every table and index and schema 89, and makes it active; error 10
  // when a file is already there, 3051 for a name that is no file (":memory:", empty).
  std::shared_ptr<ZelDatabase> CreateDatabase(const std::string& file_path);
  static std::shared_ptr<Collection> SplitUpNominees(std::string_view nominee_string);
  // "first|middle|last" of a personal name.
  static std::string SplitUpName(std::string_view name);
  static std::shared_ptr<Collection> CreateVBACollection();

 private:
  std::shared_ptr<Dictionary> crew_types_;
};

}  // namespace zel
