#pragma once

#include <QString>
#include <stdexcept>

namespace db {

// A failure of the data-access layer. Built where the failing call was made, it carries
// the driver's own message text (the description the error report shows), the SQLSTATE
// and the driver's native error code.
class DbError : public std::runtime_error {
  public:
    explicit DbError(const QString& description, const QString& sqlState = {}, int nativeCode = 0);

    const QString& description() const { return description_; }
    const QString& sqlState() const { return sqlState_; }
    int nativeCode() const { return nativeCode_; }

  private:
    QString description_;
    QString sqlState_;
    int nativeCode_ = 0;
};

// The texts the layer raises for its own misuse, with the wording data-access users know.
inline constexpr const char* kObjectClosed = "Operation is not allowed when the object is closed.";
inline constexpr const char* kObjectOpen = "Operation is not allowed when the object is open.";
inline constexpr const char* kNoCurrentRecord =
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
    "requires a current record.";

} // namespace db
