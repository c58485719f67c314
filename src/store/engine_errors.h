// Error numbers of the database engine. Every engine failure reaches callers as zel::Error with one
// of these numbers and a message saying what went wrong in the statement.
#pragma once

#include <cstdint>

namespace zel::store::engine_errc {

inline constexpr int32_t kTextAfterStatement = 3142;  // more than one statement in one call
inline constexpr int32_t kSyntax = 3075;              // the statement cannot be parsed
inline constexpr int32_t kUnknownTable = 3078;        // a table or query the file does not have
inline constexpr int32_t kUnknownColumn = 3061;       // a column name the statement's tables lack
inline constexpr int32_t kUnknownField = 3265;  // a record-set field name or position not found
inline constexpr int32_t kNoCurrentRecord =
    3021;  // record-set access past the end or before AddNew
inline constexpr int32_t kUpdateWithoutEdit = 3020;  // Update without AddNew or Edit
inline constexpr int32_t kNotUpdatable = 3027;       // record set of a query that is not one table
inline constexpr int32_t kReadOnly = 3027;      // any write to a catalogue opened for reading only
inline constexpr int32_t kDuplicateKey = 3022;  // a record-set Update breaks a key or unique index
inline constexpr int32_t kRequiredValue =
    3314;  // a record-set Update leaves a NOT NULL column empty
inline constexpr int32_t kRelatedRecordRequired = 3201;  // a record-set Update breaks a reference
inline constexpr int32_t kRelatedRecordsExist = 3200;    // deleting a row other rows still name
inline constexpr int32_t kValueTooLong = 3163;           // a text longer than its column allows
inline constexpr int32_t kDataTypeMismatch =
    3464;  // a value that does not convert to the column's type
inline constexpr int32_t kNumericOverflow = 3349;  // a number outside the column's range
inline constexpr int32_t kTableExists = 3010;
inline constexpr int32_t kIndexExists = 3375;
inline constexpr int32_t kFileNotFound = 3024;  // the catalogue file does not exist
inline constexpr int32_t kCannotOpen = 3051;    // the file cannot be opened (permissions)
inline constexpr int32_t kNotADatabase = 3343;  // the file is not a catalogue database
inline constexpr int32_t kLocked = 3260;        // another process holds the lock too long
inline constexpr int32_t kDiskIo = 3043;        // the operating system failed a read or write
inline constexpr int32_t kFileExists = 3204;    // creating over an existing file
inline constexpr int32_t kEngine = 3000;        // any other engine failure

}  // namespace zel::store::engine_errc
