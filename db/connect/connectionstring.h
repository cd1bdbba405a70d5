#pragma once

#include <QString>
#include <utility>
#include <vector>

namespace db {

// The elements of a "Key=Value;Key=Value" connection string, in their order. Keys compare
// without regard to letter case; empty elements (";;") are skipped. A plain value runs to
// the next ";" and loses the blanks around it. A value may be put in double (or single)
// quotes, inside which the quote doubled stands for one quote and ";", "=" and blanks are
// plain text. A string that does not follow these rules raises DbError.
class ConnectionProperties {
  public:
    static ConnectionProperties parse(const QString& connectionString); // throws DbError

    bool contains(const QString& key) const;
    QString value(const QString& key) const; // empty when missing; the last one wins
    const std::vector<std::pair<QString, QString>>& items() const { return items_; }

  private:
    std::vector<std::pair<QString, QString>> items_;
};

// Quotes a value for a connection string when it would not survive as it is: one that
// holds ";", begins with a quote, or begins or ends with a blank. Any other value is
// returned unchanged, byte for byte. ConnectionProperties::parse reads either back as
// the original value.
QString quoteConnectionValue(const QString& value);

} // namespace db
