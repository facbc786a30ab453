#include "platform/sqlserver/loader_batch.h"

#include <cstdlib>
#include <cstring>

namespace tellwen::sqlserver {
namespace {

class Scanner {
 public:
  explicit Scanner(std::string_view s) : s_(s) {}
  void Blanks() {
    while (i_ < s_.size() &&
           (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t')) {
      ++i_;
    }
  }
  bool AtEnd() {
    Blanks();
    return i_ >= s_.size();
  }
  // A keyword followed by a non-identifier character.
  bool Word(const char* w) {
    Blanks();
    const size_t n = strlen(w);
    if (s_.size() - i_ < n || strncasecmp(s_.data() + i_, w, n) != 0) return false;
    if (i_ + n < s_.size() && IsIdent(s_[i_ + n])) return false;
    i_ += n;
    return true;
  }
  bool Char(char c) {
    Blanks();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  bool Identifier(std::string* out) {
    Blanks();
    size_t start = i_;
    if (i_ >= s_.size() || !(isalpha(static_cast<unsigned char>(s_[i_])) || s_[i_] == '_')) {
      return false;
    }
    while (i_ < s_.size() && IsIdent(s_[i_])) ++i_;
    out->assign(s_.substr(start, i_ - start));
    return true;
  }
  bool Constant(Value* v) {
    Blanks();
    if (i_ >= s_.size()) return false;
    if (s_[i_] == '\'' ||
        ((s_[i_] == 'N' || s_[i_] == 'n') && i_ + 1 < s_.size() && s_[i_ + 1] == '\'')) {
      if (s_[i_] != '\'') ++i_;
      ++i_;
      v->type = Value::Type::kText;
      v->s.clear();
      for (;;) {
        const size_t quote = s_.find('\'', i_);
        if (quote == std::string_view::npos) return false;
        v->s.append(s_.data() + i_, quote - i_);
        i_ = quote + 1;
        if (i_ < s_.size() && s_[i_] == '\'') {
          v->s.push_back('\'');
          ++i_;
          continue;
        }
        return true;
      }
    }
    size_t start = i_;
    if (s_[i_] == '-') ++i_;
    size_t digits = i_;
    while (i_ < s_.size() && isdigit(static_cast<unsigned char>(s_[i_]))) ++i_;
    if (i_ == digits || i_ - digits > 18) return false;
    if (i_ < s_.size() && (IsIdent(s_[i_]) || s_[i_] == '.')) return false;
    *v = Value::Int(strtoll(std::string(s_.substr(start, i_ - start)).c_str(), nullptr, 10));
    return true;
  }

 private:
  static bool IsIdent(char c) {
    return isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '#' || c == '$' ||
           static_cast<unsigned char>(c) >= 0x80;
  }
  std::string_view s_;
  size_t i_ = 0;
};

}  // namespace

bool ScanLoaderBatch(std::string_view text, std::vector<LoaderOp>* ops,
                     std::vector<Value>* values) {
  ops->clear();
  values->clear();
  values->reserve(text.size() / 12);
  ops->reserve(text.size() / 64);
  Scanner sc(text);
  while (!sc.AtEnd()) {
    if (sc.Char(';')) continue;
    if (sc.Word("begin")) {
      if (!sc.Word("tran") && !sc.Word("transaction")) return false;
      ops->push_back({LoaderOp::Kind::kBegin, "", 0, 0});
    } else if (sc.Word("commit")) {
      if (!sc.Word("tran") && !sc.Word("transaction")) return false;
      ops->push_back({LoaderOp::Kind::kCommit, "", 0, 0});
    } else if (sc.Word("insert")) {
      sc.Word("into");
      LoaderOp op{LoaderOp::Kind::kInsert, "", values->size(), 0};
      if (!sc.Identifier(&op.table)) return false;
      if (strcasecmp(op.table.c_str(), "values") == 0) return false;
      if (!sc.Word("values") || !sc.Char('(')) return false;
      do {
        Value v;
        if (sc.Word("null")) {
          v = Value::Null();
        } else if (!sc.Constant(&v)) {
          return false;
        }
        values->push_back(std::move(v));
        ++op.count;
      } while (sc.Char(','));
      if (!sc.Char(')')) return false;
      ops->push_back(std::move(op));
    } else {
      return false;
    }
  }
  return !ops->empty();
}

}  // namespace tellwen::sqlserver
