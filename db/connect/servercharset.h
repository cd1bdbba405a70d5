#pragma once

// The server's character set. Adaptive Server keeps char, varchar and text values in it
// and counts char(n) and varchar(n) in its bytes; the driver converts every statement
// into it, literals included (on TDS 5.0 FreeTDS pastes values into the text), and sends
// a character the set lacks as nothing. So the program measures and checks text in that
// set before it sends anything. The set is learnt once per connection, when a table's
// rows are first to be written.

#include <QString>
#include <optional>
#include <string_view>

namespace db {

namespace odbc {
class DriverConnection;
}
struct ConnectionState;

class ServerCharset {
  public:
    // UTF-8: what a connection keeps when the server names no set (the driver then
    // converts nothing).
    ServerCharset() = default;
    // A set by Adaptive Server's name ("iso_1", "cp850", "roman8", "utf8"). A name the
    // system cannot convert to counts as UTF-8, as the driver converts nothing then.
    explicit ServerCharset(const QString& name);

    const QString& name() const { return name_; }

    struct Encoded {
        std::size_t bytes = 0; // the text's length in the set
        QString missing;       // the first character the set lacks; empty when none
    };
    // UTF-8 text as the set holds it.
    Encoded encode(std::string_view utf8) const;
    // True when every character of the UTF-8 text is in the set.
    bool holds(std::string_view utf8) const { return encode(utf8).missing.isEmpty(); }

  private:
    enum class Kind { Utf8, Latin1, Other };
    QString name_ = QStringLiteral("utf8");
    Kind kind_ = Kind::Utf8;
    QByteArray iconvName_; // Other
};

// Asks the server for the connection's character set (@@client_csname, "the name of the
// character set for the connection"); UTF-8 when it names none. Throws DbError when the
// question fails.
ServerCharset askServerCharset(odbc::DriverConnection& connection, int timeoutSeconds);

// The character set of an open connection, asked once and kept with it. A server that
// cannot answer is taken to convert nothing, as the driver then does not either.
ServerCharset serverCharset(ConnectionState& connection);

} // namespace db
