// The PostgreSQL function library against the embedded engine: for each
// corpus of inputs, the answer of tsql.<name> on a real server must equal
// the SQLite function's (or the C++ rule's) on an in-memory database.
#include "platform/sqlserver/postgres_functions.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <thread>

#include "platform/sqlserver/functions.h"
#include "platform/sqlserver/sql_error.h"
#include "platform/sqlserver/text_match.h"
#include "tests/support/postgres_suite.h"

namespace tellwen::sqlserver {
namespace {

using testing::PostgresServer;

// One answer, comparable across the engines: a value's text, NULL, or the
// error's message.
std::string Shown(const Value& v) { return v.IsNull() ? "NULL" : v.ToText(); }

class PostgresFunctionsTest : public testing::PostgresSuite {
 protected:
  void SetUp() override {
    PostgresSuite::SetUp();
    if (IsSkipped()) return;
    link_ = Link("postgres");
    ASSERT_TRUE(link_);
    InstallPostgresFunctions(*link_);
    ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
    ASSERT_EQ(RegisterFunctions(db_), SQLITE_OK);
  }
  void TearDown() override { sqlite3_close(db_); }

  static std::unique_ptr<PostgresLink> Link(const std::string& database) {
    const ConnectOptions o = server_->Options(database);
    SqlError error;
    std::unique_ptr<PostgresLink> link = PostgresLink::Open(o, &error);
    EXPECT_TRUE(link) << error.description;
    return link;
  }

  // "SELECT <sql>" on the embedded engine.
  std::string Embedded(const std::string& sql, const std::vector<Value>& args) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, ("SELECT " + sql).c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
      return "";
    }
    for (size_t i = 0; i < args.size(); ++i) BindValue(stmt, static_cast<int>(i) + 1, args[i]);
    std::string out = sqlite3_step(stmt) == SQLITE_ROW
                          ? Shown(ColumnValue(stmt, 0))
                          : "error: " + std::string(sqlite3_errmsg(db_));
    sqlite3_finalize(stmt);
    return out;
  }

  // "SELECT <sql>" on the server.
  std::string Server(const std::string& sql, const std::vector<Value>& args) {
    try {
      PostgresRows rows;
      link_->Run("SELECT " + sql, args, &rows);
      return Shown(rows.rows.at(0).at(0));
    } catch (const SqlException& e) {
      return "error: " + e.description;
    }
  }

  // The same call on both: embedded is "tsql_name(?, ?)", server
  // "tsql.name($1, $2)".
  void ExpectSame(const std::string& embedded, const std::string& server,
                  const std::vector<Value>& args) {
    std::string shown;
    for (const Value& a : args) shown += (a.IsNull() ? "NULL" : "'" + a.ToText() + "'") + " ";
    EXPECT_EQ(Server(server, args), Embedded(embedded, args)) << server << " with " << shown;
  }

  // A temporary table name(i, v) of the texts.
  void Table(const std::string& name, const std::vector<Value>& texts) {
    link_->Run("CREATE TEMP TABLE " + name + " (i int, v text)", {});
    for (size_t i = 0; i < texts.size(); ++i) {
      link_->Run("INSERT INTO " + name + " VALUES ($1, $2)",
                 {Value::Int(static_cast<int64_t>(i)), texts[i]});
    }
  }

  std::unique_ptr<PostgresLink> link_;
  sqlite3* db_ = nullptr;
};

const std::vector<std::string> kTexts = {
    "",       " ",   "a",     "A",    "a ",   "abc",    "ABC  ", "abd", "ab", "École", "école",
    "ÉCOLE ", "ß",   "SS",    "ss",   "İ",    "i",      "I",     "ı",   "ǅ",  "ǆ",     "Ǆ",
    "Ω",      "ω",   "Ωmega", "ÿ",    "Ÿ",    "Ж",      "ж",     "Ѐ",   "ѐ",  "×",     "÷",
    "_x",     "[a]", "a]b",   "100%", "a\tb", "  lead", "z",     "Z",   "{",  "~",     "\xC3\x80"};

TEST_F(PostgresFunctionsTest, InstallIsCheapWhenCurrentAndSafeWhenConcurrent) {
  PostgresRows rows;
  const std::string fold_row =
      "SELECT xmin::text FROM pg_proc WHERE oid = 'tsql.fold(text)'::regprocedure";
  link_->Run(fold_row, {}, &rows);
  const std::string before = rows.rows.at(0).at(0).s;
  InstallPostgresFunctions(*link_);
  link_->Run(fold_row, {}, &rows);
  EXPECT_EQ(rows.rows.at(0).at(0).s, before);  // nothing re-created
  link_->Run("SELECT tsql.library_version()", {}, &rows);
  EXPECT_EQ(rows.rows.at(0).at(0).s, PostgresFunctionsVersion());

  // Another version is replaced, inside the caller's transaction too.
  link_->Run("BEGIN", {});
  link_->Run(
      "CREATE OR REPLACE FUNCTION tsql.library_version() RETURNS text LANGUAGE sql AS "
      "$$ SELECT 'old'::text $$",
      {});
  InstallPostgresFunctions(*link_);
  EXPECT_TRUE(link_->InTransaction());
  link_->Run("COMMIT", {});
  link_->Run("SELECT tsql.library_version()", {}, &rows);
  EXPECT_EQ(rows.rows.at(0).at(0).s, PostgresFunctionsVersion());

  // Connections installing on a fresh database at once.
  link_->Run("CREATE DATABASE fresh", {});
  std::vector<std::unique_ptr<PostgresLink>> links;
  for (int i = 0; i < 3; ++i) links.push_back(Link("fresh"));
  std::vector<std::thread> threads;
  std::vector<std::string> errors(links.size());
  for (size_t i = 0; i < links.size(); ++i) {
    threads.emplace_back([&, i] {
      try {
        InstallPostgresFunctions(*links[i]);
      } catch (const SqlException& e) {
        errors[i] = e.description;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (size_t i = 0; i < links.size(); ++i) {
    EXPECT_EQ(errors[i], "");
    links[i]->Run("SELECT tsql.fold('ÀB ')", {}, &rows);
    EXPECT_EQ(rows.rows.at(0).at(0).s, "àb");
  }
}

TEST_F(PostgresFunctionsTest, FoldIsTheCollationKey) {
  // Every code point FoldCase changes, and a sample of the others (all of
  // ASCII and Latin-1 among them).
  std::vector<uint32_t> changed, others;
  for (uint32_t cp = 1; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    if (FoldCase(cp) != cp) {
      changed.push_back(cp);
    } else if (cp < 0x600 || cp % 101 == 0) {
      others.push_back(cp);
    }
  }
  EXPECT_GT(changed.size(), 150u);
  for (const std::vector<uint32_t>* cps : {&changed, &others}) {
    const std::string text = EncodeUtf8(*cps, 0, cps->size()) + "x";
    EXPECT_EQ(Server("tsql.fold($1) = $2", {Value::Text(text), Value::Text(FoldedText(text))}),
              "1");
  }

  // Equal keys exactly for equal texts; the keys' order under "C" is
  // CompareText's.
  std::vector<Value> texts;
  for (const std::string& t : kTexts) texts.push_back(Value::Text(t));
  Table("corpus", texts);
  PostgresRows rows;
  link_->Run(
      "SELECT a.i, b.i, CASE WHEN tsql.fold(a.v) COLLATE \"C\" < tsql.fold(b.v) THEN -1 "
      "WHEN tsql.fold(a.v) = tsql.fold(b.v) THEN 0 ELSE 1 END FROM corpus a, corpus b",
      {}, &rows);
  ASSERT_EQ(rows.rows.size(), kTexts.size() * kTexts.size());
  for (const auto& r : rows.rows) {
    const std::string& a = kTexts[r[0].i];
    const std::string& b = kTexts[r[1].i];
    const int c = CompareText(a, b);
    EXPECT_EQ(r[2].i, c < 0 ? -1 : c > 0 ? 1 : 0) << "'" << a << "' vs '" << b << "'";
  }
  EXPECT_EQ(Server("tsql.fold(NULL)", {}), "NULL");
}

TEST_F(PostgresFunctionsTest, SortKeyOrdersTextsAsCompareTextAndKeepsIndexOrderOfNumbers) {
  // Texts of the TSQL collation, in the order of their keys.
  link_->Run("CREATE TEMP TABLE texts (v text COLLATE tsql)", {});
  for (const std::string& t : kTexts) link_->Run("INSERT INTO texts VALUES ($1)", {Value::Text(t)});
  PostgresRows rows;
  link_->Run("SELECT v FROM texts ORDER BY tsql.sort_key(v, '' COLLATE ucs_basic)", {}, &rows);
  ASSERT_EQ(rows.rows.size(), kTexts.size());
  for (size_t i = 1; i < rows.rows.size(); ++i) {
    EXPECT_LE(CompareText(rows.rows[i - 1][0].s, rows.rows[i][0].s), 0)
        << "'" << rows.rows[i - 1][0].s << "' before '" << rows.rows[i][0].s << "'";
  }
  // The key of a number is the column itself once inlined: its index gives
  // the order, with no sort.
  link_->Run("CREATE TEMP TABLE numbers (i int)", {});
  link_->Run("CREATE INDEX ON numbers (i)", {});
  link_->Run("SET enable_sort = off", {});
  link_->Run("EXPLAIN SELECT i FROM numbers ORDER BY tsql.sort_key(i, '' COLLATE ucs_basic)", {},
             &rows);
  std::string plan;
  for (const auto& row : rows.rows) plan += row[0].s + "\n";
  EXPECT_EQ(plan.find("Sort"), std::string::npos) << plan;
  link_->Run("RESET enable_sort", {});
  EXPECT_EQ(Server("tsql.sort_key(2.5::double precision, '') + tsql.sort_key(1::bigint, '')", {}),
            "3.5");
}

TEST_F(PostgresFunctionsTest, EqualityOfAColumnAndATextIgnoresTrailingBlanksInAnIndexRange) {
  link_->Run("CREATE TEMP TABLE names (v varchar(20) COLLATE tsql, i int, d timestamp)", {});
  for (const char* v : {"abc", "ABC ", "abc  ", "abc!", "abc a", "ab", "abcd", "abc\t"}) {
    link_->Run("INSERT INTO names VALUES ($1, 1, '2002-02-15')", {Value::Text(v)});
  }
  link_->Run("CREATE INDEX ON names (v)", {});
  link_->Run("CREATE INDEX ON names (i)", {});
  link_->Run("CREATE INDEX ON names (d)", {});
  const auto where = [](const std::string& c, const std::string& v) {
    return c + " >= tsql.eq_low(" + c + ", " + v + ") AND " + c + " <= tsql.eq_high(" + c + ", " +
           v + ") AND tsql.eq_check(" + c + ", " + v + ")";
  };
  EXPECT_EQ(Server("count(*) FROM names WHERE " + where("v", "$1"), {Value::Text("Abc ")}), "3");
  EXPECT_EQ(Server("count(*) FROM names WHERE tsql.ne(v, 'abc')", {}), "5");
  EXPECT_EQ(Server("count(*) FROM names WHERE " + where("i", "'1'") + " AND " +
                       where("d", "'2002-02-15'") + " AND tsql.ne(i, '2')",
                   {}),
            "8");
  // Every column's comparison is an index range.
  link_->Run("SET enable_seqscan = off", {});
  for (const auto& [column, value] : std::vector<std::pair<std::string, std::string>>{
           {"v", "'abc'"}, {"i", "'1'"}, {"d", "'2002-02-15'"}}) {
    PostgresRows rows;
    link_->Run("EXPLAIN SELECT 1 FROM names WHERE " + where(column, value), {}, &rows);
    std::string plan;
    for (const auto& row : rows.rows) plan += row[0].s + "\n";
    EXPECT_NE(plan.find("Index Cond"), std::string::npos) << plan;
  }
  link_->Run("RESET enable_seqscan", {});
}

TEST_F(PostgresFunctionsTest, LikePatindexAndPrefilterAgreeWithLikePattern) {
  const std::vector<std::string> patterns = {
      "",      "%",     "%%",     "_",     "a",      "A%",     "%C",  "%b%",   "a_c",
      "ab_",   "a%c",   "[a-c]%", "[^a]%", "[^a-c]", "[abc]",  "a]",  "a]b",   "[]]",
      "[_]x",  "[[]a]", "[a",     "[",     "]",      "[^]",    "[]",  "[z-a]", "[^z-a]",
      "[a-]",  "[-a]",  "é%",     "%OLE",  "[à-þ]%", "[À-Þ]",  "ß",   "Ω%",    "ǅ",
      "İ",     "%_",    "_%_",    "%[%]%", "100%",   "%a\tb%", "  %", "%   ",  "ж",
      "[ѐ-џ]", "a%%c",  "%[x]",   "\\",    "%.%",    "[0-9]%", "(a)", "a|b",   "a*"};
  std::vector<Value> texts, pats;
  for (const std::string& t : kTexts) texts.push_back(Value::Text(t));
  for (const std::string& p : patterns) pats.push_back(Value::Text(p));
  Table("vals", texts);
  Table("pats", pats);
  PostgresRows rows;
  link_->Run(
      "SELECT v.i, p.i, tsql.like(v.v, p.v), tsql.patindex(p.v, v.v), "
      "NOT tsql.like(v.v, p.v) OR v.v ILIKE tsql.like_prefilter(p.v) FROM vals v, pats p",
      {}, &rows);
  ASSERT_EQ(rows.rows.size(), kTexts.size() * patterns.size());
  for (const auto& r : rows.rows) {
    const std::string& v = kTexts[r[0].i];
    const std::string& p = patterns[r[1].i];
    const LikePattern compiled(p, 0);
    EXPECT_EQ(r[2].i, compiled.Matches(v) ? 1 : 0) << "'" << v << "' LIKE '" << p << "'";
    EXPECT_EQ(r[3].i, compiled.FindIndex(v)) << "PATINDEX('" << p << "', '" << v << "')";
    EXPECT_EQ(r[4].i, 1) << "the prefilter of '" << p << "' rejects '" << v << "'";
  }

  // Escapes, NULLs and the escape's error, against the SQLite function.
  const std::vector<std::vector<Value>> escaped = {
      {Value::Text("a%"), Value::Text("a!%"), Value::Text("!")},
      {Value::Text("ab"), Value::Text("a!%"), Value::Text("!")},
      {Value::Text("a_b"), Value::Text("a\\_b"), Value::Text("\\")},
      {Value::Text("axb"), Value::Text("a\\_b"), Value::Text("\\")},
      {Value::Text("a["), Value::Text("a#["), Value::Text("#")},
      {Value::Text("a!"), Value::Text("a!"), Value::Text("!")},  // escape at the end
      {Value::Text("aé"), Value::Text("aéÉ"), Value::Text("é")},
      {Value::Text("a"), Value::Text("a"), Value::Text("ab")},
      {Value::Text("a"), Value::Text("a"), Value::Text("")},
      {Value::Null(), Value::Text("a"), Value::Text("ab")},
      {Value::Text("a"), Value::Null(), Value::Text("!")},
      {Value::Text("a"), Value::Text("a"), Value::Null()},
  };
  for (const auto& args : escaped) {
    ExpectSame("like(?2, ?1, ?3)", "tsql.like($1, $2, $3)", args);
    if (!args[0].IsNull() && !args[1].IsNull() && !args[2].IsNull() &&
        Server("tsql.like($1, $2, $3)", args) == "1") {
      EXPECT_EQ(Server("$1 ILIKE tsql.like_prefilter($2, $3)", args), "1") << args[1].s;
    }
  }
  for (const auto& args : std::vector<std::vector<Value>>{{Value::Null(), Value::Text("a")},
                                                          {Value::Text("a"), Value::Null()}}) {
    ExpectSame("like(?2, ?1)", "tsql.like($1, $2)", args);
    ExpectSame("tsql_patindex(?2, ?1)", "tsql.patindex($2, $1)", args);
  }
  EXPECT_EQ(Server("tsql.like_prefilter('ab[_]c%d_[xy]é!%', '!')", {}), "ab\\_c%d___\\%%");
}

TEST_F(PostgresFunctionsTest, ConvertMatchesConvertValue) {
  const std::vector<std::string> types = {
      "int",     "bigint",        "smallint", "tinyint", "bit",         "decimal(10, 2)",
      "decimal", "numeric(5)",    "float",    "real",    "varchar(5)",  "varchar",
      "char(4)", "nvarchar(max)", "datetime", "date",    "varchar(30)", "sysname"};
  const std::vector<Value> values = {Value::Text("12"),
                                     Value::Text(" -7 "),
                                     Value::Text(""),
                                     Value::Text("+3"),
                                     Value::Text("1x"),
                                     Value::Text("2.5"),
                                     Value::Text("-2.5"),
                                     Value::Text("1e3"),
                                     Value::Text("3000000000"),
                                     Value::Text("300"),
                                     Value::Text("École ß"),
                                     Value::Text("abcdef   "),
                                     Value::Text("2006-08-31 13:45:10"),
                                     Value::Text("Feb 15 2002  5:38PM"),
                                     Value::Text("20020215"),
                                     Value::Text("02/29/2004"),
                                     Value::Text("15 Feb 2002"),
                                     Value::Text("2002-02-30"),
                                     Value::Text("5:38PM"),
                                     Value::Text("2002"),
                                     Value::Text("12/31/49"),
                                     Value::Text(".5"),
                                     Value::Text("abc"),
                                     Value::Int(42),
                                     Value::Int(-1),
                                     Value::Int(70000),
                                     Value::Int(3000000000),
                                     Value::Int(0),
                                     Value::Float(2.5),
                                     Value::Float(-2.5),
                                     Value::Float(0.1),
                                     Value::Float(1e20),
                                     Value::Float(38000.75),
                                     Value::Float(123.456789),
                                     Value::Null()};
  for (const std::string& type : types) {
    for (const Value& value : values) {
      const std::vector<Value> args = {Value::Text(type), value};
      // Years beyond 9999: PostgreSQL cannot hold them (below).
      if ((type == "datetime" || type == "date") &&
          ((value.type == Value::Type::kFloat && value.f > 3e6) ||
           (value.type == Value::Type::kInt && value.i > 3000000))) {
        continue;
      }
      ExpectSame("tsql_convert(?1, ?2, NULL)", "tsql.convert($1, $2)", args);
    }
  }
  // CONVERT's date styles, on texts and on a timestamp.
  for (const int style :
       {0,   1, 3, 5, 100, 101, 103, 105, 106, 107, 108, 109, 110, 111, 112, 120, 121,
        126, 2, 6, 7, 8,   9,   10,  11,  12,  13,  20,  21,  23,  25,  99,  130}) {
    for (const char* text :
         {"2006-08-31 13:45:10", "2006-01-02 00:05:00", "Feb 5 2002 11:38PM", "abc", "17"}) {
      ExpectSame("tsql_convert('varchar(30)', ?1, ?2)", "tsql.convert('varchar(30)', $1, $2::int)",
                 {Value::Text(text), Value::Int(style)});
    }
  }
  ExpectSame("tsql_convert('varchar(30)', '2006-08-31 13:45:10', 101)",
             "tsql.convert_text('varchar(30)', timestamp '2006-08-31 13:45:10', 101)", {});
  EXPECT_EQ(Server("tsql.convert_int('bit', 5::bigint) + tsql.convert_int('int', '7')", {}), "8");
  EXPECT_EQ(Server("tsql.convert_float('decimal(6, 1)', 2.25::float8)", {}), "2.3");
  EXPECT_EQ(Server("tsql.convert_datetime('date', 38000.75::float8)::text", {}),
            "2004-01-16 00:00:00");
  EXPECT_EQ(Server("tsql.convert('datetime', 1e20::float8)", {}),
            "error: Arithmetic overflow error converting expression to data type datetime.");
  EXPECT_EQ(Server("tsql.convert('blob', 'x')", {}),
            "error: Type blob is not a defined system type.");
}

TEST_F(PostgresFunctionsTest, DateFunctionsMatchTheEmbeddedOnes) {
  const std::vector<std::string> parts = {"year",   "quarter", "month",       "dayofyear",
                                          "day",    "week",    "weekday",     "hour",
                                          "minute", "second",  "millisecond", "fortnight"};
  const std::vector<std::string> dates = {
      "2006-08-31 00:00:00", "2004-02-29 12:00:00", "2004-01-31", "2005-12-31 23:59:59",
      "2006-01-01",          "2000-02-28 23:59:59", "1900-01-01", "1753-01-01",
      "9999-12-31 23:59:59", "2006-01-07",          "2006-01-08", "2006-03-31 08:30:15"};
  for (const std::string& part : parts) {
    for (const std::string& date : dates) {
      for (const int64_t n : {1, -1, 12, -13, 59, 1000000, 1500}) {
        ExpectSame("tsql_dateadd(?1, ?2, ?3)", "tsql.dateadd($1, $2, $3)",
                   {Value::Text(part), Value::Int(n), Value::Text(date)});
      }
      ExpectSame("tsql_datepart(?1, ?2)", "tsql.datepart($1, $2)",
                 {Value::Text(part), Value::Text(date)});
      ExpectSame("tsql_datename(?1, ?2)", "tsql.datename($1, $2)",
                 {Value::Text(part), Value::Text(date)});
      for (const std::string& other : dates) {
        ExpectSame("tsql_datediff(?1, ?2, ?3)", "tsql.datediff($1, $2, $3)",
                   {Value::Text(part), Value::Text(date), Value::Text(other)});
      }
    }
  }
  // Date texts as SQL Server reads them, and the ones it refuses.
  for (const char* text : {"2002-02-15 17:38:32",
                           "2002/2/5",
                           "2002.02.15T17:38",
                           "20020215",
                           "20020215T5PM",
                           "20020215 17:38",
                           "2002",
                           "2002 -02-15",
                           "02/15/2002 5:38PM",
                           "2/15/02",
                           "12/31/50",
                           "Feb 15 2002  5:38PM",
                           "february 15, 2002",
                           "Febx 15 2002",
                           "15 Feb 2002",
                           "15 Feb 02",
                           "5:38:10.123 am",
                           "13:00 PM",
                           "17",
                           "24:00",
                           "  ",
                           "2002-02-29",
                           "1752-12-31",
                           "2002-13-01",
                           "abc",
                           "2002-02-15T",
                           "2002-02-15 10:61",
                           "1:2:3.1234567890"}) {
    ExpectSame("tsql_datepart('second', ?1) || ' ' || tsql_dateadd('day', 0, ?1)",
               "tsql.datepart('second', $1::text) || ' ' || tsql.dateadd('day', 0, $1::text)",
               {Value::Text(text)});
  }
  ExpectSame("tsql_dateadd('day', 1, 38000.75)",
             "tsql.dateadd('day', 1, tsql.to_datetime(38000.75))", {});
  ExpectSame("tsql_datediff('day', NULL, '2006-01-01')", "tsql.datediff('day', NULL, '2006-01-01')",
             {});
}

TEST_F(PostgresFunctionsTest, TextAndNumberFunctionsMatchTheEmbeddedOnes) {
  std::vector<Value> texts = {Value::Null()};
  for (const std::string& t : kTexts) texts.push_back(Value::Text(t));
  const std::vector<Value> counts = {Value::Int(-1), Value::Int(0),   Value::Int(1),
                                     Value::Int(3),  Value::Int(100), Value::Null()};
  for (const Value& t : texts) {
    for (const char* f : {"len", "reverse", "ltrim", "rtrim"}) {
      ExpectSame(std::string("tsql_") + f + "(?1)", std::string("tsql.") + f + "($1)", {t});
    }
    for (const Value& n : counts) {
      for (const char* f : {"left", "right", "replicate"}) {
        ExpectSame(std::string("tsql_") + f + "(?1, ?2)", std::string("tsql.") + f + "($1, $2)",
                   {t, n});
      }
      if (!n.IsNull()) ExpectSame("tsql_fit(?1, ?2)", "tsql.fit($1, $2)", {t, n});
      for (const Value& m : counts) {
        ExpectSame("tsql_substring(?1, ?2, ?3)", "tsql.substring($1, $2, $3)", {t, n, m});
      }
    }
  }
  for (const Value& n : counts) ExpectSame("tsql_space(?1)", "tsql.space($1)", {n});
  ExpectSame("length(tsql_replicate('abc', 5000))", "length(tsql.replicate('abc', 5000))", {});

  const std::vector<Value> hays = {Value::Text("aBcAbC  ÉcoleéCOLE"), Value::Text("ǅǆǄ ΩωΩ"),
                                   Value::Text(""), Value::Null()};
  const std::vector<Value> needles = {Value::Text("b"), Value::Text("ABC"), Value::Text("é"),
                                      Value::Text("ω"), Value::Text("ǆ"),   Value::Text(" "),
                                      Value::Text(""),  Value::Text("zz"),  Value::Null()};
  for (const Value& h : hays) {
    for (const Value& n : needles) {
      ExpectSame("tsql_charindex(?1, ?2)", "tsql.charindex($1, $2)", {n, h});
      for (const Value& start : {Value::Int(-2), Value::Int(3), Value::Int(40), Value::Null()}) {
        ExpectSame("tsql_charindex(?1, ?2, ?3)", "tsql.charindex($1, $2, $3)", {n, h, start});
      }
      ExpectSame("tsql_replace(?1, ?2, 'X–')", "tsql.replace($1, $2, 'X–')", {h, n});
    }
  }

  for (const char* name : {"Users", "dbo.users", "#tmp", "Ünïcode"}) {
    ExpectSame("tsql_objid(?1)", "tsql.objid($1)", {Value::Text(name)});
  }
  const std::vector<Value> numbers = {Value::Int(7),         Value::Int(-7), Value::Int(0),
                                      Value::Int(INT64_MIN), Value::Int(-1), Value::Int(3000000000),
                                      Value::Null()};
  for (const Value& a : numbers) {
    ExpectSame("tsql_int(?1)", "tsql.int($1)", {a});
    for (const Value& b : numbers) {
      ExpectSame("tsql_div(?1, ?2)", "tsql.div($1, $2)", {a, b});
      ExpectSame("tsql_mod(?1, ?2)", "tsql.mod($1, $2)", {a, b});
    }
  }
  for (const Value& x : {Value::Int(1234), Value::Int(-1250), Value::Float(2.5), Value::Float(-2.5),
                         Value::Float(1.005), Value::Float(123.456)}) {
    for (const int64_t digits : {-2, -1, 0, 1, 2}) {
      ExpectSame("tsql_round(?1, ?2)", "tsql.round($1, $2)", {x, Value::Int(digits)});
    }
  }
  ExpectSame("tsql_div(7.5, 2)", "tsql.div(7.5, 2)", {});
  ExpectSame("tsql_div(7.5, 0.0)", "tsql.div(7.5, 0.0)", {});
}

}  // namespace
}  // namespace tellwen::sqlserver
