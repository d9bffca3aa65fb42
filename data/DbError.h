#pragma once

#include <QString>
#include <stdexcept>

// Every failure of the database engine: a number and a description for the user.
// The numbers follow the desktop database engine the program's users know.
namespace DbErr {
constexpr int InvalidUseOfNull = 94;   // a Null field read where text is required
constexpr int NoEditInProgress = 3020; // Update without AddNew or Edit
constexpr int NoCurrentRecord = 3021;  // move/read/Edit/Delete with no current record
constexpr int FileNotFound = 3024;     // links.mdb is not there
constexpr int WrongPassword = 3031;    // the password does not open the file
constexpr int Corrupt = 3049;          // the file is damaged
constexpr int CannotOpen = 3051;       // the file cannot be opened (permissions, locked out)
constexpr int SyntaxError = 3075;      // a query text the dialect cannot read
constexpr int TableNotFound = 3078;    // a table the program needs is missing
constexpr int RecordDeleted = 3167;    // the current record was deleted
constexpr int Locked = 3260;           // another program holds the file too long
constexpr int FieldNotFound = 3265;    // no field of that name
constexpr int NotADatabase = 3343;     // the file is no database of this program
constexpr int EngineFailure = 3197;    // any other failure of the engine
constexpr int NotAuthentic = 3913;     // a sealed link does not open: the file is damaged or tampered with
constexpr int KeyChanged = 3914;       // another copy changed the protection under this one
} // namespace DbErr

class DbError : public std::runtime_error {
public:
    DbError(int number, const QString& description)
        : std::runtime_error(description.toStdString()), m_number(number), m_description(description)
    {
    }

    int number() const { return m_number; }
    QString description() const { return m_description; }

private:
    int m_number;
    QString m_description;
};
