// The first two stages: tokens, statement boundaries, precedence, errors.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/sqlserver/lexer.h"
#include "platform/sqlserver/parser.h"
#include "tests/platform/sqlserver/server_fixture.h"

namespace tellwen::sqlserver {
namespace {

using ::testing::HasSubstr;

std::vector<std::pair<TokenKind, std::string>> Lex(const std::string& sql) {
  std::vector<Token> tokens;
  std::string error;
  EXPECT_TRUE(Tokenize(sql, &tokens, &error)) << error;
  std::vector<std::pair<TokenKind, std::string>> r;
  for (const Token& t : tokens) r.emplace_back(t.kind, t.text);
  return r;
}

TEST(Lexer, ReadsTsqlTokens) {
  using K = TokenKind;
  auto t =
      Lex("select [my col], \"q\", @v, @@ROWCOUNT, #tmp, N'x''y', 12, 1.5e3, 0x1F -- c\n"
          "/* a /* nested */ comment */ a<>b !< c");
  std::vector<std::pair<TokenKind, std::string>> expected = {
      {K::kIdentifier, "select"}, {K::kQuotedIdentifier, "my col"},
      {K::kOperator, ","},        {K::kQuotedIdentifier, "q"},
      {K::kOperator, ","},        {K::kVariable, "@v"},
      {K::kOperator, ","},        {K::kSystemVariable, "@@ROWCOUNT"},
      {K::kOperator, ","},        {K::kIdentifier, "#tmp"},
      {K::kOperator, ","},        {K::kNString, "x'y"},
      {K::kOperator, ","},        {K::kInteger, "12"},
      {K::kOperator, ","},        {K::kDecimal, "1.5e3"},
      {K::kOperator, ","},        {K::kBinary, "0x1F"},
      {K::kIdentifier, "a"},      {K::kOperator, "<>"},
      {K::kIdentifier, "b"},      {K::kOperator, "!<"},
      {K::kIdentifier, "c"},      {K::kEnd, ""}};
  EXPECT_EQ(t, expected);
}

TEST(Lexer, ReportsUnterminatedTexts) {
  std::vector<Token> tokens;
  std::string error;
  EXPECT_FALSE(Tokenize("select 'abc", &tokens, &error));
  EXPECT_THAT(error, HasSubstr("Unclosed quotation mark"));
  EXPECT_FALSE(Tokenize("select 1 /* open", &tokens, &error));
  EXPECT_FALSE(Tokenize("select [x", &tokens, &error));
}

TEST(Lexer, NextTokenReadsOneTokenAtATime) {
  const std::string sql = "a\n 'b\nc' /* x";
  LexPosition position;
  Token token;
  std::string error;
  ASSERT_TRUE(NextToken(sql, &position, &token, &error));
  EXPECT_EQ(token.text, "a");
  EXPECT_EQ(position.offset, 1u);
  ASSERT_TRUE(NextToken(sql, &position, &token, &error));
  EXPECT_EQ(token.kind, TokenKind::kString);
  EXPECT_EQ(token.offset, 3u);
  EXPECT_EQ(token.line, 3);  // the line it ends on
  const LexPosition before = position;
  EXPECT_FALSE(NextToken(sql, &position, &token, &error));
  EXPECT_THAT(error, HasSubstr("Missing end comment mark"));
  EXPECT_EQ(position.offset, before.offset);
  position = LexPosition{1, 1};
  ASSERT_TRUE(NextToken("x ", &position, &token, &error));
  EXPECT_EQ(token.kind, TokenKind::kEnd);
  EXPECT_EQ(token.offset, 2u);
  ASSERT_TRUE(NextToken("x ", &position, &token, &error));
  EXPECT_EQ(token.kind, TokenKind::kEnd);
}

size_t Count(const std::string& sql) {
  Batch batch;
  std::string error;
  EXPECT_TRUE(ParseBatch(sql, &batch, &error)) << sql << " -> " << error;
  return batch.statements.size();
}

std::string ParseError(const std::string& sql) {
  Batch batch;
  std::string error;
  EXPECT_FALSE(ParseBatch(sql, &batch, &error)) << sql;
  return error;
}

TEST(Parser, StatementsFollowEachOtherWithoutSeparators) {
  EXPECT_EQ(Count("declare @ultimii datetime    set @ultimii = (select DATEADD(hh, -48, "
                  "getdate()))   select name from shares1 where data > @ultimii"),
            3u);
  EXPECT_EQ(Count("begin transaction delete from monitor_pings insert into monitor_pings(name, "
                  "status, ping_time) values('//a', '1', 'x') commit transaction"),
            4u);
  EXPECT_EQ(Count("begin tran update stat_last_queries set query_status = 3 where query_id = "
                  "'1' commit tran"),
            3u);
  EXPECT_EQ(Count("if 1 = 1 select 1 else select 2; select 3;;"), 2u);
  EXPECT_EQ(Count("spSearch '0', '200', 1, @x"), 1u);
  EXPECT_EQ(Count("insert stat_access values ('2002-02-15 17:38:32', 5,  '10.0.0.1')"), 1u);
}

TEST(Parser, ReportsSyntaxErrorsAsSqlServerDoes) {
  for (auto [batch, error] : {std::pair{"select * frm t", "Incorrect syntax near 'frm'."},
                              {"select (1", "Incorrect syntax near '1'."},
                              {"select 1 select", "Incorrect syntax near 'select'."},
                              {"x y z", "Incorrect syntax near 'z'."},
                              {"select 1 proc1 2", "Incorrect syntax near '2'."}}) {
    EXPECT_EQ(ParseError(batch), error) << batch;
  }
  for (const char* batch : {"create view v as select 1", "select top 10 percent a from t",
                            "declare @t table (a int)"}) {
    EXPECT_THAT(ParseError(batch), HasSubstr("not supported")) << batch;
  }
  EXPECT_THAT(ParseError("select dateadd(fortnight, 1, getdate())"),
              HasSubstr("Invalid parameter 1"));
}

TEST(Parser, DeepNestingIsRefusedNotCrashed) {
  std::string deep = "select " + std::string(5000, '(') + "1" + std::string(5000, ')');
  EXPECT_THAT(ParseError(deep), HasSubstr("nested too deeply"));
  std::string nots = "select 1 where " + std::string(3000 * 4, ' ');
  for (int i = 0; i < 3000; ++i) nots += "not ";
  EXPECT_THAT(ParseError(nots + "1=1"), HasSubstr("nested too deeply"));
}

using Precedence = ServerTest;

TEST_F(Precedence, OperatorsBindAsInSqlServer) {
  EXPECT_EQ(Run("select 1 + 2 * 3, (1 + 2) * 3, 10 - 2 - 3, -2 * 3, 7 / 2, 7 % 4, 6 & 3, "
                "6 | 1, 6 ^ 3"),
            (Rows{{"7", "9", "5", "-6", "3", "3", "2", "7", "5"}}));
  EXPECT_EQ(Run("select case when 1 = 1 or 1 = 0 and 1 = 0 then 'or-last' else 'x' end, "
                "case when not 1 = 0 and 2 between 1 and 3 then 'y' else 'n' end"),
            (Rows{{"or-last", "y"}}));
}

}  // namespace
}  // namespace tellwen::sqlserver
