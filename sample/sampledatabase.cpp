// The bundled sample database: a small publishing house, with tables keyed and not,
// Adaptive Server's column types and NULLs, an identity and a timestamp column, a table
// with a trigger, a view, a table whose name holds "sys" and one whose name holds a
// blank, a table of another owner (joe's), the grants of a select-only login, and a text
// longer than a server sends unless asked for more. Exact numbers are kept as their
// decimal text (the server's own storage), so none passes through a floating-point value.

#include "sample/sampleserver.h"

#include <QFile>
#include <QFileInfo>

namespace sample {

void ensureSampleDatabase(const QString& folder) {
    const QString file = databaseFile(folder, QLatin1String(kDatabase));
    if (QFileInfo(file).isFile())
        return;
    const QString building = file + QStringLiteral(".new");
    QFile::remove(building);
    executeScript(
        building,
        {
            QStringLiteral("CREATE TABLE publishers (pub_id CHAR(4) NOT NULL PRIMARY KEY, "
                           "pub_name VARCHAR(40) NULL, city VARCHAR(20) NULL, state CHAR(2) NULL, "
                           "country VARCHAR(30) NULL)"),
            QStringLiteral("INSERT INTO publishers VALUES ('0736', 'New Moon Books', 'Boston', "
                           "'MA', 'USA'), ('0877', 'Binnet & Hardley', 'Washington', 'DC', 'USA'), "
                           "('1389', 'Algodata Infosystems', 'Berkeley', 'CA', 'USA'), "
                           "('9952', 'Scootney Books', 'New York', 'NY', 'USA'), "
                           "('9901', 'Lucerne Publishing', 'München', NULL, 'Germany')"),
            QStringLiteral("CREATE TABLE authors (au_id VARCHAR(11) NOT NULL PRIMARY KEY, "
                           "au_lname VARCHAR(40) NOT NULL, au_fname VARCHAR(20) NOT NULL, "
                           "phone CHAR(12) NOT NULL DEFAULT 'UNKNOWN', address VARCHAR(40) NULL, "
                           "city VARCHAR(20) NULL, state CHAR(2) NULL, zip CHAR(5) NULL, "
                           "contract BIT NOT NULL)"),
            QStringLiteral(
                "INSERT INTO authors VALUES "
                "('172-32-1176', 'White', 'Johnson', '408 496-7223', '10932 Bigge Rd.', "
                "'Menlo Park', 'CA', '94025', 1), "
                "('213-46-8915', 'Green', 'Marjorie', '415 986-7020', '309 63rd St. #411', "
                "'Oakland', 'CA', '94618', 1), "
                "('238-95-7766', 'Carson', 'Cheryl', '415 548-7723', '589 Darwin Ln.', "
                "'Berkeley', 'CA', '94705', 1), "
                "('267-41-2394', 'O''Leary', 'Michael', '408 286-2428', '22 Cleveland Av. "
                "#14', 'San Jose', 'CA', '95128', 1), "
                "('274-80-9391', 'Straight', 'Dean', '415 834-2919', '5420 College Av.', "
                "'Oakland', 'CA', '94609', 1), "
                "('341-22-1782', 'Smith', 'Meander', '913 843-0462', '10 Mississippi Dr.', "
                "'Lawrence', 'KS', '66044', 0), "
                "('409-56-7008', 'Bennet', 'Abraham', '415 658-9932', '6223 Bateman St.', "
                "'Berkeley', 'CA', '94705', 1), "
                "('427-17-2319', 'Dull', 'Ann', '415 836-7128', '3410 Blonde St.', "
                "'Palo Alto', 'CA', '94301', 1), "
                "('472-27-2349', 'Gringlesby', 'Burt', '707 938-6445', NULL, "
                "'Covelo', 'CA', '95428', 0), "
                "('486-29-1786', 'Locksley', 'Charlene', '415 585-4620', '18 Broadway Av.', "
                "'San Francisco', 'CA', '94130', 1)"),
            QStringLiteral(
                "CREATE TABLE titles (title_id VARCHAR(6) NOT NULL PRIMARY KEY, "
                "title VARCHAR(80) NOT NULL, type CHAR(12) NOT NULL, pub_id CHAR(4) NULL, "
                "price money NULL, advance numeric(12,2) NULL, ytd_sales int NULL, "
                "pubdate datetime NOT NULL)"),
            QStringLiteral(
                "INSERT INTO titles VALUES "
                "('BU1032', 'The Busy Executive''s Database Guide', 'business', '1389', "
                "CAST('19.9900' AS BLOB), 5000, 4095, '1985-06-12 00:00:00.000'), "
                "('BU1111', 'Cooking with Computers', 'business', '1389', CAST('11.9500' AS BLOB), "
                "5000, 3876, '1985-06-09 00:00:00.000'), "
                "('MC2222', 'Silicon Valley Gastronomic Treats', 'mod_cook', '0877', "
                "CAST('19.9900' AS BLOB), 0, 2032, '1985-06-09 00:00:00.000'), "
                "('MC3026', 'The Psychology of Computer Cooking', 'UNDECIDED', '0877', "
                "NULL, NULL, NULL, '1987-01-01 00:00:00.000'), "
                "('PC1035', 'But Is It User Friendly?', 'popular_comp', '1389', "
                "CAST('22.9500' AS BLOB), 7000, 8780, '1986-06-30 00:00:00.000'), "
                "('PS2091', 'Is Anger the Enemy?', 'psychology', '0736', CAST('10.9500' AS BLOB), "
                "2275, 2045, '1985-06-15 00:00:00.000'), "
                "('TC7777', 'Sushi, Anyone?', 'trad_cook', '0877', CAST('14.9900' AS BLOB), 8000, "
                "4095, '1985-06-12 00:00:00.000')"),
            QStringLiteral(
                "CREATE TABLE stores (stor_id CHAR(4) NOT NULL, stor_name VARCHAR(40) NULL, "
                "city VARCHAR(20) NULL, state CHAR(2) NULL)"),
            QStringLiteral("CREATE UNIQUE INDEX stores_id ON stores (stor_id)"),
            QStringLiteral("INSERT INTO stores VALUES ('7066', 'Barnum''s', 'Tustin', 'CA'), "
                           "('7067', 'News & Brews', 'Los Gatos', 'CA'), "
                           "('7131', 'Doc-U-Mat: Quality Laundry and Books', 'Remulade', 'WA'), "
                           "('8042', 'Bookbeat', 'Portland', 'OR')"),
            QStringLiteral(
                "CREATE TABLE sales (stor_id CHAR(4) NOT NULL, ord_num VARCHAR(20) NOT NULL, "
                "ord_date DATETIME NOT NULL, qty SMALLINT NOT NULL, payterms VARCHAR(12) "
                "NOT NULL, title_id VARCHAR(6) NOT NULL, "
                "PRIMARY KEY (stor_id, ord_num, title_id))"),
            QStringLiteral(
                "INSERT INTO sales VALUES "
                "('7066', 'A2976', '1993-05-24 00:00:00.000', 50, 'Net 30', 'PC1035'), "
                "('7066', 'QA7442.3', '1994-09-13 00:00:00.000', 75, 'ON invoice', 'PS2091'), "
                "('7067', 'D4482', '1994-09-14 00:00:00.000', 10, 'Net 60', 'PS2091'), "
                "('7131', 'N914008', '1994-09-14 00:00:00.000', 20, 'Net 30', 'PS2091'), "
                "('8042', '423LL922', '1994-09-14 00:00:00.000', 15, 'ON invoice', 'MC3026')"),
            QStringLiteral(
                "CREATE TABLE discounts (discounttype VARCHAR(40) NOT NULL, stor_id CHAR(4) "
                "NULL, lowqty SMALLINT NULL, highqty SMALLINT NULL, discount numeric(4,2) "
                "NOT NULL)"),
            QStringLiteral("INSERT INTO discounts VALUES ('Initial Customer', NULL, NULL, NULL, "
                           "CAST('10.50' AS BLOB)), "
                           "('Volume Discount', NULL, 100, 1000, CAST('6.70' AS BLOB)), "
                           "('Customer Discount', '8042', NULL, NULL, 5), "
                           "('Customer Discount', '8042', NULL, NULL, 5)"),
            QStringLiteral("CREATE TABLE [order notes] (ord_num VARCHAR(20) NOT NULL PRIMARY KEY, "
                           "note TEXT NULL, urgent BIT NOT NULL DEFAULT 0)"),
            QStringLiteral("INSERT INTO [order notes] VALUES ('A2976', 'Deliver before noon', 1), "
                           "('D4482', NULL, 0), ('N914008', '', 0)"),
            // A note longer than the 32,768 bytes a server sends of a text by default.
            QStringLiteral("INSERT INTO [order notes] VALUES ('P3087a', 'Packing list: ' || "
                           "replace(hex(zeroblob(1500)), '00', 'one boxed set of the "
                           "collected works; ') || 'end of the list.', 0)"),
            QStringLiteral("CREATE TABLE mysysdata (id int NOT NULL PRIMARY KEY, setting "
                           "VARCHAR(30) NOT NULL)"),
            QStringLiteral("INSERT INTO mysysdata VALUES (1, 'hidden from the table list')"),
            QStringLiteral(
                "CREATE TABLE orders (order_id numeric identity(10,0) NOT NULL PRIMARY KEY, "
                "title_id varchar(6) NOT NULL, quantity smallint NOT NULL, unit_price "
                "smallmoney NOT NULL, discount real NULL, weight float NULL, ordered "
                "smalldatetime NOT NULL, ship_date date NULL, ship_time time NULL, received "
                "bigdatetime NULL, running_total bigint NULL, priority tinyint NOT NULL, "
                "customer unichar(12) NULL, remark univarchar(60) NULL, region binary(2) NULL, "
                "barcode varbinary(16) NULL, label image NULL, version timestamp NULL)"),
            QStringLiteral(
                "INSERT INTO orders VALUES "
                "(1, 'BU1032', 5, CAST('19.9900' AS BLOB), 0.05, 1.25, '2024-02-28 09:30:00', "
                "'2024-03-01', '14:15:00.000', '2024-03-04 08:00:00.250000', 99, 1, "
                "'Zoë', 'Deliver to the back door — ring twice', X'0102', X'DEADBEEF', NULL, "
                "X'00000000000007D1'), "
                "(2, 'PS2091', 12, CAST('10.9500' AS BLOB), NULL, NULL, '2024-02-29 17:05:00', "
                "NULL, NULL, NULL, NULL, 3, '中文', NULL, NULL, NULL, NULL, "
                "X'00000000000007D2')"),
            QStringLiteral(
                "CREATE TABLE inventory (title_id varchar(6) NOT NULL PRIMARY KEY, on_hand int "
                "NOT NULL, shelf char(3) NULL)"),
            QStringLiteral("INSERT INTO inventory VALUES ('BU1032', 12, 'A1'), "
                           "('BU1111', 3, 'A2'), ('PS2091', 0, NULL)"),
            QStringLiteral("CREATE TABLE inventory_log (title_id varchar(6) NOT NULL, "
                           "old_on_hand int NULL, new_on_hand int NULL)"),
            QStringLiteral("CREATE TRIGGER inventory_changed AFTER UPDATE ON inventory BEGIN "
                           "INSERT INTO inventory_log VALUES (old.title_id, old.on_hand, "
                           "new.on_hand); END"),
            QStringLiteral(
                "CREATE VIEW titleview AS SELECT title, au_lname, price, ytd_sales, pub_id "
                "FROM titles, authors WHERE titles.pub_id = '1389'"),
            // The user joe's own orders, beside dbo's: the list shows it as "joe.orders".
            QStringLiteral("CREATE TABLE \"joe.orders\" (order_id int NOT NULL PRIMARY KEY, "
                           "title_id varchar(6) NOT NULL, quantity smallint NOT NULL)"),
            QStringLiteral("INSERT INTO \"joe.orders\" VALUES (1, 'PS2091', 2), "
                           "(2, 'BU1032', 1)"),
            // The login "reader" may select from every table and do nothing else. Grants
            // are kept as the server keeps those made with "grant".
            QStringLiteral("CREATE TABLE qv_protects (object TEXT NOT NULL, grantee TEXT NOT "
                           "NULL, action TEXT NOT NULL, col TEXT NOT NULL, revoked INTEGER NOT "
                           "NULL)"),
            QStringLiteral("INSERT INTO qv_protects SELECT name, 'reader', 'select', '', 0 FROM "
                           "sqlite_master WHERE type IN ('table', 'view') AND name NOT LIKE "
                           "'sqlite%' AND name <> 'qv_protects'"),
        });
    QFile::rename(building, file);
}

} // namespace sample
