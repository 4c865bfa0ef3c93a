#pragma once
// Errors raised by the data engine: a number (the classic engine's number where one exists)
// and an Italian description, because the windows show both to the user.

#include <QString>
#include <exception>
#include <string>

namespace qn {

namespace err {
constexpr long InvalidArgument = 3001;
constexpr long ReservedError = 3000;          // anything the engine cannot classify
constexpr long UpdateWithoutEdit = 3020;      // Update/CancelUpdate without AddNew or Edit
constexpr long NoCurrentRecord = 3021;
constexpr long DuplicateKey = 3022;
constexpr long FileNotFound = 3024;
constexpr long DiskFull = 3026;
constexpr long OutOfMemory = 3035;            // system resources exceeded
constexpr long ReadOnly = 3027;               // database or object is read-only
constexpr long InvalidPath = 3044;
constexpr long FileInUse = 3045;
constexpr long CannotOpen = 3049;             // damaged file, cannot be opened
constexpr long FileLocked = 3051;             // opened exclusively elsewhere, or no permission
constexpr long SyntaxError = 3075;            // syntax error in a query expression
constexpr long TableNotFound = 3078;
constexpr long TableExists = 3010;
constexpr long RecordDeleted = 3167;
constexpr long InvalidBookmark = 3159;
constexpr long FieldTooSmall = 3163;
constexpr long DatabaseExists = 3204;
constexpr long OperationNotSupported = 3251;
constexpr long ItemNotFound = 3265;           // unknown field, table or index name
constexpr long FieldRequired = 3314;
constexpr long ZeroLengthNotAllowed = 3315;
constexpr long UnrecognizedFormat = 3343;
constexpr long NumericOverflow = 3349;
constexpr long ObjectClosed = 3420;           // object invalid or no longer set
constexpr long TypeConversion = 3421;
constexpr long DiskIo = 3043;                 // disk or network error
constexpr long TooFewParameters = 3061;       // unknown name in a query
constexpr long CannotUpdateField = 3164;      // the field cannot be updated
constexpr long Locked = 3218;                 // could not update; currently locked
constexpr long CannotExecuteSelect = 3065;    // Execute given a SELECT
constexpr long InvalidOperation = 3219;       // operation not allowed in this context
} // namespace err

// The Italian description of an error number; `argument` fills the file or object name
// where the message names one.
QString errorDescription(long number, const QString& argument = {});

class EngineError : public std::exception {
public:
    EngineError(long number, QString description);
    // The error with its standard Italian description.
    static EngineError fromNumber(long number, const QString& argument = {});

    long number() const noexcept { return m_number; }
    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    long m_number;
    QString m_description;
    std::string m_what;
};

} // namespace qn
