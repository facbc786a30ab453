-- The T-SQL function library of the PostgreSQL engine: schema tsql. Every
-- function gives the answers of the embedded engine's SQLite function of the
-- same name (functions.cc); the contracts are in postgres_functions.h.
--
-- Layout: InstallPostgresFunctions runs the statements one by one. A
-- statement is one line ending in ";", or a function whose last line is
-- "$$;". {{FOLD_FROM}} and {{FOLD_TO}} are filled in with every code point
-- beyond ASCII that FoldCase changes and its folded form.
--
-- Dates work in whole seconds, as the embedded engine keeps them: a
-- timestamp's fraction of a second is dropped on the way in.
--
-- Local text variables are declared COLLATE "C": PL/pgSQL gives them the
-- call's collation otherwise, and the columns' collation (nondeterministic)
-- is refused by pattern matching and substring searches.

CREATE SCHEMA IF NOT EXISTS tsql;

-- The engine's own objects in the database. "tsql" is the collation of every
-- text column: case-insensitive (ICU, level 2). tsql_procedures holds the
-- T-SQL procedures: the lower-case name, the CREATE PROCEDURE text, the
-- name as written.
DO $$
BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_collation WHERE collname = 'tsql') THEN
    CREATE COLLATION public.tsql (provider = icu, locale = 'und-u-ks-level2', deterministic = false);
  END IF;
END
$$;
CREATE TABLE IF NOT EXISTS public.tsql_procedures (name text PRIMARY KEY, definition text NOT NULL, written text NOT NULL);

-- Text and comparison keys ------------------------------------------------

-- Each code point folded by FoldCase; ASCII by lower() under "C" (ASCII
-- only), the rest by translate(), skipped for pure ASCII text.
CREATE OR REPLACE FUNCTION tsql.fold_chars(value text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT (CASE WHEN octet_length(value) = char_length(value) THEN lower(value COLLATE "C")
        ELSE translate(lower(value COLLATE "C"), '{{FOLD_FROM}}', '{{FOLD_TO}}') END)
       COLLATE "default"
$$;

-- fold_chars(rtrim(value)), written out: the inlined body then trims once
-- (a text is pure ASCII exactly when it is so trimmed).
CREATE OR REPLACE FUNCTION tsql.fold(value text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT (CASE WHEN octet_length(value) = char_length(value) THEN lower(rtrim(value, ' ') COLLATE "C")
        ELSE translate(lower(rtrim(value, ' ') COLLATE "C"), '{{FOLD_FROM}}', '{{FOLD_TO}}') END)
       COLLATE "default"
$$;

-- ORDER BY's key: a text's fold, any other type as it is. The second
-- argument is there for its collation only: the call's result takes the
-- collation of its arguments, and the caller gives '' COLLATE ucs_basic there,
-- so a text key sorts by code points (a COLLATE after the call would be
-- refused for a number). SQL functions the planner inlines: the key of a
-- number or a date is the column itself, so its index still gives the
-- order.
CREATE OR REPLACE FUNCTION tsql.sort_key(value text, collation_of text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.fold(value)
$$;
CREATE OR REPLACE FUNCTION tsql.sort_key(value smallint, collation_of text) RETURNS smallint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT value
$$;
CREATE OR REPLACE FUNCTION tsql.sort_key(value integer, collation_of text) RETURNS integer
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT value
$$;
CREATE OR REPLACE FUNCTION tsql.sort_key(value bigint, collation_of text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT value
$$;
CREATE OR REPLACE FUNCTION tsql.sort_key(value numeric, collation_of text) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT value
$$;
CREATE OR REPLACE FUNCTION tsql.sort_key(value real, collation_of text) RETURNS real
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT value
$$;
CREATE OR REPLACE FUNCTION tsql.sort_key(value double precision, collation_of text) RETURNS double precision
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT value
$$;
CREATE OR REPLACE FUNCTION tsql.sort_key(value timestamp, collation_of text) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT value
$$;
CREATE OR REPLACE FUNCTION tsql.sort_key(value boolean, collation_of text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT value
$$;

-- "column = text" and "column <> text" as SQL Server compares: trailing
-- blanks do not count. The translator writes "=" as "c >= eq_low(c, v) AND
-- c <= eq_high(c, v) AND eq_check(c, v)": the column's type picks the
-- overload and, once inlined, the bounds no longer read the column, so the
-- column's index answers the range. For a text column the values whose
-- trimmed text equals the trimmed value under the collation lie between
-- that value and it followed by 8000 blanks (the longest varchar), and
-- eq_check tells them from the others there. A column of another type
-- compares with the value read as that type (STABLE for a timestamp, as
-- reading one is, or the planner would not inline them).
CREATE OR REPLACE FUNCTION tsql.eq_low(col text, value text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT rtrim(value, ' ')
$$;
CREATE OR REPLACE FUNCTION tsql.eq_high(col text, value text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT rtrim(value, ' ') || repeat(' ', 8000)
$$;
CREATE OR REPLACE FUNCTION tsql.eq_check(col text, value text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT rtrim(col, ' ') = rtrim(value, ' ')
$$;
CREATE OR REPLACE FUNCTION tsql.ne(col text, value text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT rtrim(col, ' ') <> rtrim(value, ' ')
$$;
CREATE OR REPLACE FUNCTION tsql.eq_low(col smallint, value text) RETURNS smallint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT value::smallint
$$;
CREATE OR REPLACE FUNCTION tsql.eq_high(col smallint, value text) RETURNS smallint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT value::smallint
$$;
CREATE OR REPLACE FUNCTION tsql.eq_check(col smallint, value text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT true
$$;
CREATE OR REPLACE FUNCTION tsql.ne(col smallint, value text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT col <> value::smallint
$$;
CREATE OR REPLACE FUNCTION tsql.eq_low(col integer, value text) RETURNS integer
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT value::integer
$$;
CREATE OR REPLACE FUNCTION tsql.eq_high(col integer, value text) RETURNS integer
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT value::integer
$$;
CREATE OR REPLACE FUNCTION tsql.eq_check(col integer, value text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT true
$$;
CREATE OR REPLACE FUNCTION tsql.ne(col integer, value text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT col <> value::integer
$$;
CREATE OR REPLACE FUNCTION tsql.eq_low(col bigint, value text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT value::bigint
$$;
CREATE OR REPLACE FUNCTION tsql.eq_high(col bigint, value text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT value::bigint
$$;
CREATE OR REPLACE FUNCTION tsql.eq_check(col bigint, value text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT true
$$;
CREATE OR REPLACE FUNCTION tsql.ne(col bigint, value text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT col <> value::bigint
$$;
CREATE OR REPLACE FUNCTION tsql.eq_low(col numeric, value text) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT value::numeric
$$;
CREATE OR REPLACE FUNCTION tsql.eq_high(col numeric, value text) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT value::numeric
$$;
CREATE OR REPLACE FUNCTION tsql.eq_check(col numeric, value text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT true
$$;
CREATE OR REPLACE FUNCTION tsql.ne(col numeric, value text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT col <> value::numeric
$$;
CREATE OR REPLACE FUNCTION tsql.eq_low(col real, value text) RETURNS real
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT value::real
$$;
CREATE OR REPLACE FUNCTION tsql.eq_high(col real, value text) RETURNS real
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT value::real
$$;
CREATE OR REPLACE FUNCTION tsql.eq_check(col real, value text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT true
$$;
CREATE OR REPLACE FUNCTION tsql.ne(col real, value text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT col <> value::real
$$;
CREATE OR REPLACE FUNCTION tsql.eq_low(col double precision, value text) RETURNS double precision
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT value::double precision
$$;
CREATE OR REPLACE FUNCTION tsql.eq_high(col double precision, value text) RETURNS double precision
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT value::double precision
$$;
CREATE OR REPLACE FUNCTION tsql.eq_check(col double precision, value text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT true
$$;
CREATE OR REPLACE FUNCTION tsql.ne(col double precision, value text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT col <> value::double precision
$$;
CREATE OR REPLACE FUNCTION tsql.eq_low(col timestamp, value text) RETURNS timestamp
LANGUAGE sql STABLE PARALLEL SAFE AS $$
SELECT value::timestamp
$$;
CREATE OR REPLACE FUNCTION tsql.eq_high(col timestamp, value text) RETURNS timestamp
LANGUAGE sql STABLE PARALLEL SAFE AS $$
SELECT value::timestamp
$$;
CREATE OR REPLACE FUNCTION tsql.eq_check(col timestamp, value text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT true
$$;
CREATE OR REPLACE FUNCTION tsql.ne(col timestamp, value text) RETURNS boolean
LANGUAGE sql STABLE PARALLEL SAFE AS $$
SELECT col <> value::timestamp
$$;

CREATE OR REPLACE FUNCTION tsql.fold_cp(cp integer) RETURNS integer
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT ascii(tsql.fold_chars(chr(cp)))
$$;

-- A code point as a regular expression atom that stands for it alone (also
-- inside brackets).
CREATE OR REPLACE FUNCTION tsql.regex_cp(cp integer, in_brackets boolean) RETURNS text
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT CASE
  WHEN NOT in_brackets AND (cp BETWEEN 48 AND 57 OR cp BETWEEN 65 AND 90 OR cp BETWEEN 97 AND 122)
    THEN chr(cp)
  WHEN cp <= 65535 THEN '\u' || lpad(to_hex(cp), 4, '0')
  ELSE '\U' || lpad(to_hex(cp), 8, '0') END
$$;

-- The escape code point of a LIKE; 0 for none. Not one character: SQL
-- Server's error.
CREATE OR REPLACE FUNCTION tsql.like_escape(escape text, has_escape boolean) RETURNS integer
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
BEGIN
  IF NOT has_escape THEN RETURN 0; END IF;
  IF char_length(escape) <> 1 THEN
    RAISE EXCEPTION 'Invalid escape character specified in the LIKE predicate.';
  END IF;
  RETURN ascii(escape);
END
$$;

-- The T-SQL LIKE pattern as a regular expression (unanchored) over the
-- folded value: each element of LikePattern as one atom, a % as ".*" (and
-- only a % gives ".*"). NULL for a NULL pattern or escape.
CREATE OR REPLACE FUNCTION tsql.like_regex(pattern text, escape text, has_escape boolean)
RETURNS text LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
  chars text[];
  n integer;
  esc integer;
  out text COLLATE "C" := '';
  last_any boolean := false;
  i integer := 1;
  j integer;
  k integer;
  closing integer;
  c integer;
  lo integer;
  hi integer;
  negated boolean;
  ranges text COLLATE "C";
BEGIN
  IF pattern IS NULL OR (has_escape AND escape IS NULL) THEN RETURN NULL; END IF;
  esc := tsql.like_escape(escape, has_escape);
  chars := string_to_array(pattern, NULL);
  n := coalesce(array_length(chars, 1), 0);
  WHILE i <= n LOOP
    c := ascii(chars[i]);
    IF esc <> 0 AND c = esc AND i < n THEN
      i := i + 1;
      out := out || tsql.regex_cp(tsql.fold_cp(ascii(chars[i])), false);
      last_any := false;
    ELSIF c = 37 THEN  -- %
      IF NOT last_any THEN out := out || '.*'; END IF;
      last_any := true;
    ELSIF c = 95 THEN  -- _
      out := out || '.';
      last_any := false;
    ELSIF c = 91 THEN  -- [
      j := i + 1;
      IF j <= n AND chars[j] = '^' THEN j := j + 1; END IF;
      closing := 0;
      FOR k IN j + 1 .. n LOOP
        IF chars[k] = ']' THEN closing := k; EXIT; END IF;
      END LOOP;
      IF closing = 0 THEN
        out := out || '\u005b';
      ELSE
        negated := chars[i + 1] = '^';
        ranges := '';
        k := j;
        WHILE k < closing LOOP
          lo := tsql.fold_cp(ascii(chars[k]));
          hi := lo;
          IF k + 2 < closing AND chars[k + 1] = '-' THEN
            hi := tsql.fold_cp(ascii(chars[k + 2]));
            k := k + 2;
          END IF;
          IF lo <= hi THEN
            ranges := ranges || tsql.regex_cp(lo, true) || '-' || tsql.regex_cp(hi, true);
          END IF;
          k := k + 1;
        END LOOP;
        IF ranges = '' THEN
          -- A set of empty ranges: no character, or any character when negated.
          out := out || CASE WHEN negated THEN '.' ELSE '[^\u0001-\U0010ffff]' END;
        ELSE
          out := out || '[' || CASE WHEN negated THEN '^' ELSE '' END || ranges || ']';
        END IF;
        i := closing;
      END IF;
      last_any := false;
    ELSE
      out := out || tsql.regex_cp(tsql.fold_cp(c), false);
      last_any := false;
    END IF;
    i := i + 1;
  END LOOP;
  RETURN out;
END
$$;

CREATE OR REPLACE FUNCTION tsql.like(value text, pattern text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT CASE WHEN value IS NULL OR pattern IS NULL THEN NULL
  ELSE tsql.fold_chars(value) COLLATE "C" ~ ('^(?:' || tsql.like_regex(pattern, NULL, false) || ')$')
    OR (right(value, 1) = ' ' AND tsql.fold_chars(rtrim(value, ' ')) COLLATE "C" ~
        ('^(?:' || tsql.like_regex(pattern, NULL, false) || ')$')) END
$$;

CREATE OR REPLACE FUNCTION tsql.like(value text, pattern text, escape text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT CASE WHEN value IS NULL OR pattern IS NULL OR escape IS NULL THEN NULL
  ELSE tsql.fold_chars(value) COLLATE "C" ~ ('^(?:' || tsql.like_regex(pattern, escape, true) || ')$')
    OR (right(value, 1) = ' ' AND tsql.fold_chars(rtrim(value, ' ')) COLLATE "C" ~
        ('^(?:' || tsql.like_regex(pattern, escape, true) || ')$')) END
$$;

-- An ILIKE pattern (escape "\") that matches every value the T-SQL pattern
-- matches: its literal characters stay, the rest become _ or %, and it
-- always ends in % (the value's trailing blanks do not count). A literal
-- outside ASCII that has other forms under FoldCase becomes _: ILIKE's own
-- case rule need not know them.
CREATE OR REPLACE FUNCTION tsql.like_prefilter_of(pattern text, escape text, has_escape boolean)
RETURNS text LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
  chars text[];
  n integer;
  esc integer;
  out text COLLATE "C" := '';
  i integer := 1;
  j integer;
  k integer;
  closing integer;
  c integer;
  single integer;
  piece text COLLATE "C";
  piece_wild text COLLATE "C";
  last_any boolean := false;
BEGIN
  IF pattern IS NULL OR (has_escape AND escape IS NULL) THEN RETURN NULL; END IF;
  esc := tsql.like_escape(escape, has_escape);
  chars := string_to_array(pattern, NULL);
  n := coalesce(array_length(chars, 1), 0);
  WHILE i <= n LOOP
    c := ascii(chars[i]);
    piece := NULL;  -- a literal character, or else piece_wild: _ or %
    piece_wild := NULL;
    IF esc <> 0 AND c = esc AND i < n THEN
      i := i + 1;
      piece := chr(tsql.fold_cp(ascii(chars[i])));
    ELSIF c = 37 THEN
      piece_wild := '%';
    ELSIF c = 95 THEN
      piece_wild := '_';
    ELSIF c = 91 THEN
      j := i + 1;
      IF j <= n AND chars[j] = '^' THEN j := j + 1; END IF;
      closing := 0;
      FOR k IN j + 1 .. n LOOP
        IF chars[k] = ']' THEN closing := k; EXIT; END IF;
      END LOOP;
      IF closing = 0 THEN
        piece := '[';
      ELSE
        -- A set of one character, each time the same ("[_]"), is that character.
        single := NULL;
        IF chars[i + 1] <> '^' THEN
          k := j;
          WHILE k < closing LOOP
            IF k + 2 < closing AND chars[k + 1] = '-' THEN
              IF tsql.fold_cp(ascii(chars[k])) <> tsql.fold_cp(ascii(chars[k + 2])) THEN
                single := -1;
              END IF;
              k := k + 2;
            END IF;
            IF single IS NULL THEN
              single := tsql.fold_cp(ascii(chars[k]));
            ELSIF single <> tsql.fold_cp(ascii(chars[k])) THEN
              single := -1;
            END IF;
            k := k + 1;
          END LOOP;
        END IF;
        IF single > 0 THEN piece := chr(single); ELSE piece_wild := '_'; END IF;
        i := closing;
      END IF;
    ELSE
      piece := chr(tsql.fold_cp(c));
    END IF;
    IF piece_wild = '%' THEN
      IF NOT last_any THEN out := out || '%'; END IF;
      last_any := true;
    ELSE
      last_any := false;
      IF piece_wild = '_' OR (ascii(piece) > 127 AND strpos('{{FOLD_TO}}', piece) > 0) THEN
        out := out || '_';
      ELSIF piece IN ('%', '_', '\') THEN
        out := out || '\' || piece;
      ELSE
        out := out || piece;
      END IF;
    END IF;
    i := i + 1;
  END LOOP;
  IF NOT last_any THEN out := out || '%'; END IF;
  RETURN out;
END
$$;

CREATE OR REPLACE FUNCTION tsql.like_prefilter(pattern text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.like_prefilter_of(pattern, NULL, false)
$$;

CREATE OR REPLACE FUNCTION tsql.like_prefilter(pattern text, escape text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.like_prefilter_of(pattern, escape, true)
$$;

CREATE OR REPLACE FUNCTION tsql.patindex(pattern text, value text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT CASE WHEN pattern IS NULL OR value IS NULL THEN NULL
  WHEN pattern = '' THEN 0
  WHEN left(tsql.like_regex(pattern, NULL, false), 2) = '.*'
    THEN regexp_instr(tsql.fold_chars(value) COLLATE "C", substr(tsql.like_regex(pattern, NULL, false), 3) || '$')
  ELSE (tsql.fold_chars(value) COLLATE "C" ~ ('^(?:' || tsql.like_regex(pattern, NULL, false) || ')$'))::integer
  END
$$;

CREATE OR REPLACE FUNCTION tsql.charindex(needle text, haystack text, start bigint) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT CASE WHEN needle IS NULL OR haystack IS NULL THEN NULL
  WHEN needle = '' THEN 0
  ELSE (SELECT CASE WHEN p = 0 THEN 0 ELSE p + s - 1 END
        FROM (SELECT greatest(coalesce(start, 1), 1) AS s) AS a,
             LATERAL (SELECT strpos(substr(tsql.fold_chars(haystack) COLLATE "C",
                                           least(a.s, 2147483647)::integer),
                                    tsql.fold_chars(needle) COLLATE "C")::bigint AS p) AS b)
  END
$$;

CREATE OR REPLACE FUNCTION tsql.charindex(needle text, haystack text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.charindex(needle, haystack, 1)
$$;

-- Case-insensitive (FoldCase) search, left to right, matches not
-- overlapping; the rest of the text is kept as it is.
CREATE OR REPLACE FUNCTION tsql.replace(value text, search text, replacement text) RETURNS text
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
DECLARE
  folded text COLLATE "C";
  needle text COLLATE "C" := tsql.fold_chars(search) COLLATE "C";
  m integer := char_length(search);
  out text COLLATE "C" := '';
  p integer;
BEGIN
  IF m = 0 THEN RETURN value; END IF;
  folded := tsql.fold_chars(value) COLLATE "C";
  LOOP
    p := strpos(folded, needle);
    EXIT WHEN p = 0;
    out := out || substr(value, 1, p - 1) || replacement;
    value := substr(value, p + m);
    folded := substr(folded, p + m);
  END LOOP;
  RETURN out || value;
END
$$;

CREATE OR REPLACE FUNCTION tsql.left(value text, n bigint) RETURNS text
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
BEGIN
  IF n < 0 THEN
    RAISE EXCEPTION 'Invalid length parameter passed to the left function.';
  END IF;
  RETURN left(value, least(n, 2147483647)::integer);
END
$$;

CREATE OR REPLACE FUNCTION tsql.right(value text, n bigint) RETURNS text
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
BEGIN
  IF n < 0 THEN
    RAISE EXCEPTION 'Invalid length parameter passed to the right function.';
  END IF;
  RETURN right(value, least(n, 2147483647)::integer);
END
$$;

CREATE OR REPLACE FUNCTION tsql.substring(value text, start bigint, length bigint) RETURNS text
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
DECLARE
  first bigint := greatest(start, 1);
  stop bigint := start + length;  -- exclusive
BEGIN
  IF length < 0 THEN
    RAISE EXCEPTION 'Invalid length parameter passed to the substring function.';
  END IF;
  IF stop <= first OR first > 2147483647 THEN RETURN ''; END IF;
  RETURN substr(value, first::integer, least(stop - first, 2147483647)::integer);
END
$$;

CREATE OR REPLACE FUNCTION tsql.len(value text) RETURNS bigint
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT char_length(rtrim(value, ' '))::bigint
$$;

-- At most 8000 bytes are asked for: copies are added while the result is
-- shorter.
CREATE OR REPLACE FUNCTION tsql.replicate(value text, n bigint) RETURNS text
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT CASE WHEN n < 0 THEN NULL WHEN octet_length(value) = 0 THEN ''
  ELSE repeat(value, least(n, (8000 + octet_length(value) - 1) / octet_length(value))::integer) END
$$;

CREATE OR REPLACE FUNCTION tsql.reverse(value text) RETURNS text
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT reverse(value)
$$;

CREATE OR REPLACE FUNCTION tsql.space(n bigint) RETURNS text
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT CASE WHEN n < 0 THEN NULL ELSE repeat(' ', least(n, 8000)::integer) END
$$;

CREATE OR REPLACE FUNCTION tsql.ltrim(value text) RETURNS text
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT ltrim(value, ' ')
$$;

CREATE OR REPLACE FUNCTION tsql.rtrim(value text) RETURNS text
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT rtrim(value, ' ')
$$;

-- A value for a varchar(n) column: longer text is refused unless only
-- trailing blanks are over (those are cut).
CREATE OR REPLACE FUNCTION tsql.fit(value text, n bigint) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
BEGIN
  IF value IS NULL OR n < 0 OR char_length(value) <= n THEN RETURN value; END IF;
  IF rtrim(substr(value, n::integer + 1), ' ') <> '' THEN
    RAISE EXCEPTION 'String or binary data would be truncated.';
  END IF;
  RETURN left(value, n::integer);
END
$$;

-- ObjectIdForName: FNV-1a over the bytes, ASCII letters lowered.
CREATE OR REPLACE FUNCTION tsql.objid(name text) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
DECLARE
  bytes bytea := convert_to(name, 'UTF8');
  h bigint := 2166136261;
  b integer;
BEGIN
  FOR i IN 0 .. length(bytes) - 1 LOOP
    b := get_byte(bytes, i);
    IF b BETWEEN 65 AND 90 THEN b := b + 32; END IF;
    h := ((h # b) * 16777619) & 4294967295;
  END LOOP;
  RETURN (h & 2147483647) | 1;
END
$$;

-- Numbers ------------------------------------------------------------------

-- Arithmetic on int operands, which SQL Server keeps in 32 bits.
CREATE OR REPLACE FUNCTION tsql.int(value bigint) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
BEGIN
  IF value NOT BETWEEN -2147483648 AND 2147483647 THEN
    RAISE EXCEPTION 'Arithmetic overflow error converting expression to data type int.';
  END IF;
  RETURN value;
END
$$;

CREATE OR REPLACE FUNCTION tsql.div(a bigint, b bigint) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
BEGIN
  IF b = 0 THEN RAISE EXCEPTION 'Divide by zero error encountered.'; END IF;
  IF a = -9223372036854775808 AND b = -1 THEN
    RAISE EXCEPTION 'Arithmetic overflow error converting expression to data type bigint.';
  END IF;
  RETURN a / b;
END
$$;

CREATE OR REPLACE FUNCTION tsql.div(a double precision, b double precision)
RETURNS double precision LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
BEGIN
  IF b = 0 THEN RAISE EXCEPTION 'Divide by zero error encountered.'; END IF;
  RETURN a / b;
END
$$;

CREATE OR REPLACE FUNCTION tsql.mod(a bigint, b bigint) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
BEGIN
  IF b = 0 THEN RAISE EXCEPTION 'Divide by zero error encountered.'; END IF;
  IF a = -9223372036854775808 AND b = -1 THEN
    RAISE EXCEPTION 'Arithmetic overflow error converting expression to data type bigint.';
  END IF;
  RETURN a % b;
END
$$;

-- C's round(): halves away from zero (PostgreSQL's round(float8) rounds
-- them to even).
CREATE OR REPLACE FUNCTION tsql.round_away(x double precision) RETURNS double precision
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT CASE WHEN abs(x - trunc(x)) >= 0.5 THEN trunc(x) + sign(x) ELSE trunc(x) END
$$;

CREATE OR REPLACE FUNCTION tsql.round(value bigint, digits bigint) RETURNS bigint
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT CASE WHEN digits >= 0 THEN value WHEN value < 0 THEN -((-value + p / 2) / p * p)
  ELSE (value + p / 2) / p * p END
FROM (SELECT (10::bigint ^ least(-digits, 18))::bigint AS p) AS power
$$;

CREATE OR REPLACE FUNCTION tsql.round(value double precision, digits bigint)
RETURNS double precision LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT tsql.round_away(value * p) / p FROM (SELECT power(10::float8, digits) AS p) AS power
$$;

-- A float as the embedded engine writes one: C's "%.15g".
CREATE OR REPLACE FUNCTION tsql.float_text(value double precision) RETURNS text
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE SET extra_float_digits = 0 AS $$
SELECT value::text
$$;

-- TextToInteger: blanks (isspace) around, a sign, digits; '' is 0. NULL
-- when the text is no integer.
CREATE OR REPLACE FUNCTION tsql.text_to_integer(value text) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
DECLARE
  t text COLLATE "C" := btrim(value, E' \t\n\r\f' || chr(11));
  digits text COLLATE "C";
BEGIN
  IF t = '' THEN RETURN 0; END IF;
  IF t !~ '^[+-]?[0-9]+$' THEN RETURN NULL; END IF;
  digits := ltrim(ltrim(t, '+-'), '0');
  -- The parse stops before a value that might not fit in 64 bits.
  IF length(digits) > 19 OR (length(digits) = 19 AND digits > '9223372036854775799')
    THEN RETURN NULL; END IF;
  RETURN t::numeric::bigint;
END
$$;

-- TextToFloat: a decimal number (strtod's), blanks around; '' is 0. NULL
-- when it is none or out of range.
CREATE OR REPLACE FUNCTION tsql.text_to_float(value text) RETURNS double precision
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
DECLARE
  t text COLLATE "C" := btrim(value, E' \t\n\r\f' || chr(11));
  r double precision;
BEGIN
  IF t = '' THEN RETURN 0; END IF;
  IF t !~ '^[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?$' THEN RETURN NULL; END IF;
  r := t::double precision;
  IF r = 0 AND t ~ '[1-9]' AND t::numeric <> 0 THEN RETURN NULL; END IF;
  RETURN r;
EXCEPTION WHEN numeric_value_out_of_range OR invalid_text_representation THEN
  RETURN NULL;
END
$$;

-- Dates -------------------------------------------------------------------

-- [h]h[:mm[:ss[.fff]]][ ]AM|PM from position from_pos, as ParseDateTime reads a
-- time: ok, the fields, and the position after it.
CREATE OR REPLACE FUNCTION tsql.parse_time(s text, from_pos integer, OUT ok boolean,
                                           OUT h integer, OUT mi integer, OUT se integer,
                                           OUT pos integer)
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
DECLARE
  n integer := length(s);
  cnt integer;
  pm boolean;
  spaces text COLLATE "C" := E' \t\n\r\f' || chr(11);
BEGIN
  ok := false; h := 0; mi := 0; se := 0; pos := from_pos;
  WHILE pos <= n AND strpos(spaces, substr(s, pos, 1)) > 0 LOOP pos := pos + 1; END LOOP;
  cnt := 0;
  WHILE pos <= n AND substr(s, pos, 1) BETWEEN '0' AND '9' AND cnt < 9 LOOP
    h := h * 10 + ascii(substr(s, pos, 1)) - 48; pos := pos + 1; cnt := cnt + 1;
  END LOOP;
  IF cnt = 0 THEN RETURN; END IF;
  IF substr(s, pos, 1) = ':' THEN
    pos := pos + 1; cnt := 0;
    WHILE pos <= n AND substr(s, pos, 1) BETWEEN '0' AND '9' AND cnt < 9 LOOP
      mi := mi * 10 + ascii(substr(s, pos, 1)) - 48; pos := pos + 1; cnt := cnt + 1;
    END LOOP;
    IF cnt = 0 THEN RETURN; END IF;
    IF substr(s, pos, 1) = ':' THEN
      pos := pos + 1; cnt := 0;
      WHILE pos <= n AND substr(s, pos, 1) BETWEEN '0' AND '9' AND cnt < 9 LOOP
        se := se * 10 + ascii(substr(s, pos, 1)) - 48; pos := pos + 1; cnt := cnt + 1;
      END LOOP;
      IF cnt = 0 THEN RETURN; END IF;
      IF substr(s, pos, 1) IN ('.', ':') THEN
        -- The fraction of a second is read and dropped.
        pos := pos + 1; cnt := 0;
        WHILE pos <= n AND substr(s, pos, 1) BETWEEN '0' AND '9' AND cnt < 9 LOOP
          pos := pos + 1; cnt := cnt + 1;
        END LOOP;
      END IF;
    END IF;
  END IF;
  WHILE pos <= n AND strpos(spaces, substr(s, pos, 1)) > 0 LOOP pos := pos + 1; END LOOP;
  IF upper(substr(s, pos, 2) COLLATE "C") IN ('AM', 'PM') THEN
    pm := upper(substr(s, pos, 1) COLLATE "C") = 'P';
    pos := pos + 2;
    IF h < 1 OR h > 12 THEN RETURN; END IF;
    h := h % 12 + CASE WHEN pm THEN 12 ELSE 0 END;
  END IF;
  ok := true;
END
$$;

-- The date texts ParseDateTime reads, scanned as it scans them. NULL when
-- the text is no date.
CREATE OR REPLACE FUNCTION tsql.parse_datetime(value text) RETURNS timestamp
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
DECLARE
  s text COLLATE "C" := value;
  n integer := length(value);
  i integer := 1;
  y integer := 1900;
  mo integer := 1;
  d integer := 1;
  h integer := 0;
  mi integer := 0;
  se integer := 0;
  a integer;
  digits integer;
  start integer;
  v integer;
  cnt integer;
  months text[] := ARRAY['january', 'february', 'march', 'april', 'may', 'june', 'july',
                         'august', 'september', 'october', 'november', 'december'];
  spaces text COLLATE "C" := E' \t\n\r\f' || chr(11);
  time_ok boolean;
BEGIN
  -- Blanks.
  WHILE i <= n AND strpos(spaces, substr(s, i, 1)) > 0 LOOP i := i + 1; END LOOP;
  IF i > n THEN RETURN timestamp '1900-01-01'; END IF;
  start := i;
  a := 0; digits := 0;
  WHILE i <= n AND substr(s, i, 1) BETWEEN '0' AND '9' AND digits < 9 LOOP
    a := a * 10 + ascii(substr(s, i, 1)) - 48; i := i + 1; digits := digits + 1;
  END LOOP;
  IF digits = 0 THEN
    -- Mon dd[,] yyyy
    mo := 0;
    FOR m IN 1 .. 12 LOOP
      IF lower(substr(s, i, 3) COLLATE "C") = left(months[m], 3) THEN
        mo := m; i := i + 3;
        FOR k IN 4 .. length(months[m]) LOOP
          EXIT WHEN i > n OR lower(substr(s, i, 1) COLLATE "C") <> substr(months[m], k, 1);
          i := i + 1;
        END LOOP;
        EXIT;
      END IF;
    END LOOP;
    IF mo = 0 THEN RETURN NULL; END IF;
    WHILE i <= n AND strpos(spaces, substr(s, i, 1)) > 0 LOOP i := i + 1; END LOOP;
    v := 0; cnt := 0;
    WHILE i <= n AND substr(s, i, 1) BETWEEN '0' AND '9' AND cnt < 9 LOOP
      v := v * 10 + ascii(substr(s, i, 1)) - 48; i := i + 1; cnt := cnt + 1;
    END LOOP;
    IF cnt = 0 THEN RETURN NULL; END IF;
    d := v;
    IF substr(s, i, 1) = ',' THEN i := i + 1; END IF;
    WHILE i <= n AND strpos(spaces, substr(s, i, 1)) > 0 LOOP i := i + 1; END LOOP;
    v := 0; cnt := 0;
    WHILE i <= n AND substr(s, i, 1) BETWEEN '0' AND '9' AND cnt < 9 LOOP
      v := v * 10 + ascii(substr(s, i, 1)) - 48; i := i + 1; cnt := cnt + 1;
    END LOOP;
    IF cnt <> 4 THEN RETURN NULL; END IF;
    y := v;
  ELSE
    IF digits IN (4, 8) THEN
      WHILE i <= n AND strpos(spaces, substr(s, i, 1)) > 0 LOOP i := i + 1; END LOOP;
    END IF;
    IF digits = 8 AND (i > n OR substr(s, i, 1) = 'T') THEN
      y := a / 10000; mo := a / 100 % 100; d := a % 100;
    ELSIF digits = 4 AND i > n THEN
      y := a;
    ELSIF digits = 4 AND substr(s, i, 1) IN ('-', '/', '.') THEN
      i := i + 1;
      v := 0; cnt := 0;
      WHILE i <= n AND substr(s, i, 1) BETWEEN '0' AND '9' AND cnt < 9 LOOP
        v := v * 10 + ascii(substr(s, i, 1)) - 48; i := i + 1; cnt := cnt + 1;
      END LOOP;
      IF cnt = 0 THEN RETURN NULL; END IF;
      mo := v;
      IF substr(s, i, 1) NOT IN ('-', '/', '.') OR i > n THEN RETURN NULL; END IF;
      i := i + 1;
      v := 0; cnt := 0;
      WHILE i <= n AND substr(s, i, 1) BETWEEN '0' AND '9' AND cnt < 9 LOOP
        v := v * 10 + ascii(substr(s, i, 1)) - 48; i := i + 1; cnt := cnt + 1;
      END LOOP;
      IF cnt = 0 THEN RETURN NULL; END IF;
      y := a; d := v;
    ELSIF digits <= 2 AND i <= n AND substr(s, i, 1) IN ('/', '-', '.') THEN
      -- mm/dd/yy[yy], the month first
      i := i + 1;
      v := 0; cnt := 0;
      WHILE i <= n AND substr(s, i, 1) BETWEEN '0' AND '9' AND cnt < 9 LOOP
        v := v * 10 + ascii(substr(s, i, 1)) - 48; i := i + 1; cnt := cnt + 1;
      END LOOP;
      IF cnt = 0 THEN RETURN NULL; END IF;
      d := v;
      IF i > n OR substr(s, i, 1) NOT IN ('/', '-', '.') THEN RETURN NULL; END IF;
      i := i + 1;
      v := 0; cnt := 0;
      WHILE i <= n AND substr(s, i, 1) BETWEEN '0' AND '9' AND cnt < 9 LOOP
        v := v * 10 + ascii(substr(s, i, 1)) - 48; i := i + 1; cnt := cnt + 1;
      END LOOP;
      IF cnt = 2 THEN
        y := v + CASE WHEN v < 50 THEN 2000 ELSE 1900 END;
      ELSIF cnt = 4 THEN
        y := v;
      ELSE
        RETURN NULL;
      END IF;
      mo := a;
    ELSIF digits <= 2 THEN
      -- dd Mon yyyy, or a time alone
      WHILE i <= n AND strpos(spaces, substr(s, i, 1)) > 0 LOOP i := i + 1; END LOOP;
      mo := 0;
      FOR m IN 1 .. 12 LOOP
        IF lower(substr(s, i, 3) COLLATE "C") = left(months[m], 3) THEN
          mo := m; i := i + 3;
          FOR k IN 4 .. length(months[m]) LOOP
            EXIT WHEN i > n OR lower(substr(s, i, 1) COLLATE "C") <> substr(months[m], k, 1);
            i := i + 1;
          END LOOP;
          EXIT;
        END IF;
      END LOOP;
      IF mo > 0 THEN
        WHILE i <= n AND strpos(spaces, substr(s, i, 1)) > 0 LOOP i := i + 1; END LOOP;
        v := 0; cnt := 0;
        WHILE i <= n AND substr(s, i, 1) BETWEEN '0' AND '9' AND cnt < 9 LOOP
          v := v * 10 + ascii(substr(s, i, 1)) - 48; i := i + 1; cnt := cnt + 1;
        END LOOP;
        IF cnt <> 4 THEN RETURN NULL; END IF;
        y := v; d := a;
      ELSE
        mo := 1;
        i := start;
        SELECT t.ok, t.h, t.mi, t.se, t.pos INTO time_ok, h, mi, se, i
          FROM tsql.parse_time(s, i) AS t;
        IF NOT time_ok THEN RETURN NULL; END IF;
        WHILE i <= n AND strpos(spaces, substr(s, i, 1)) > 0 LOOP i := i + 1; END LOOP;
        IF i <= n OR h >= 24 OR mi >= 60 OR se >= 60 THEN RETURN NULL; END IF;
        RETURN make_timestamp(1900, 1, 1, h, mi, se);
      END IF;
    ELSE
      RETURN NULL;
    END IF;
  END IF;
  -- An optional time, after a "T" or blanks.
  IF substr(s, i, 1) = 'T' THEN
    i := i + 1;
    time_ok := true;
  ELSE
    WHILE i <= n AND strpos(spaces, substr(s, i, 1)) > 0 LOOP i := i + 1; END LOOP;
    time_ok := i <= n;
  END IF;
  IF time_ok THEN
    SELECT t.ok, t.h, t.mi, t.se, t.pos INTO time_ok, h, mi, se, i FROM tsql.parse_time(s, i) AS t;
    IF NOT time_ok THEN RETURN NULL; END IF;
    WHILE i <= n AND strpos(spaces, substr(s, i, 1)) > 0 LOOP i := i + 1; END LOOP;
    IF i <= n THEN RETURN NULL; END IF;
  END IF;
  IF y NOT BETWEEN 1753 AND 9999 OR mo NOT BETWEEN 1 AND 12 OR d < 1
     OR d > extract(day FROM make_date(y, mo, 1) + interval '1 month' - interval '1 day')
     OR h >= 24 OR mi >= 60 OR se >= 60 THEN
    RETURN NULL;
  END IF;
  RETURN make_timestamp(y, mo, d, h, mi, se);
END
$$;

CREATE OR REPLACE FUNCTION tsql.to_datetime(value text) RETURNS timestamp
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
DECLARE
  r timestamp := tsql.parse_datetime(value);
BEGIN
  IF r IS NULL THEN
    RAISE EXCEPTION 'Conversion failed when converting datetime from character string.';
  END IF;
  RETURN r;
END
$$;

-- DateTimeFromNumber: days (with fraction) since 1900-01-01, to the
-- nearest second. A date PostgreSQL cannot hold (the embedded engine
-- writes any year) is an overflow.
CREATE OR REPLACE FUNCTION tsql.to_datetime(days double precision) RETURNS timestamp
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
DECLARE
  whole double precision := CASE WHEN days < 0 THEN -trunc(-days + 0.999999999::float8)
                                 ELSE trunc(days) END;
BEGIN
  RETURN timestamp '1970-01-01' + make_interval(secs =>
           ((-25567 + whole::bigint) * 86400
            + trunc((days - whole) * 86400::float8 + 0.5::float8)::bigint)::float8);
EXCEPTION WHEN datetime_field_overflow OR numeric_value_out_of_range THEN
  RAISE EXCEPTION 'Arithmetic overflow error converting expression to data type datetime.';
END
$$;

-- DateTimeToNumber: days (with fraction) since 1900-01-01.
CREATE OR REPLACE FUNCTION tsql.datetime_number(value timestamp) RETURNS double precision
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT (value::date - date '1900-01-01')::float8
       + (extract(hour FROM value) * 3600 + extract(minute FROM value) * 60
          + floor(extract(second FROM value)))::float8 / 86400::float8
$$;

CREATE OR REPLACE FUNCTION tsql.datetime_text(value timestamp) RETURNS text
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT to_char(value, 'YYYY-MM-DD HH24:MI:SS')
$$;

-- CONVERT(varchar, date, style) as FormatDateStyle writes it.
CREATE OR REPLACE FUNCTION tsql.format_date_style(value timestamp, style integer) RETURNS text
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
DECLARE
  century boolean := style >= 100 OR style IN (0, 9, 13, 20, 21, 23, 25);
  base integer := CASE WHEN style >= 100 THEN style - 100 ELSE style END;
  yyyy text COLLATE "C" := to_char(value, 'YYYY');
  yy text COLLATE "C" := CASE WHEN century THEN to_char(value, 'YYYY') ELSE to_char(value, 'YY') END;
  mm text COLLATE "C" := to_char(value, 'MM');
  dd text COLLATE "C" := to_char(value, 'DD');
  mon text COLLATE "C" := to_char(value, 'Mon');
  d2 text COLLATE "C" := lpad(extract(day FROM value)::text, 2);
  h12 text COLLATE "C" := lpad(to_char(value, 'FMHH12'), 2);
  ampm text COLLATE "C" := to_char(value, 'AM');
BEGIN
  CASE
    WHEN base = 1 THEN RETURN mm || '/' || dd || '/' || yy;
    WHEN base = 2 THEN RETURN yy || '.' || mm || '.' || dd;
    WHEN base = 3 THEN RETURN dd || '/' || mm || '/' || yy;
    WHEN base = 4 THEN RETURN dd || '.' || mm || '.' || yy;
    WHEN base = 5 THEN RETURN dd || '-' || mm || '-' || yy;
    WHEN base = 10 THEN RETURN mm || '-' || dd || '-' || yy;
    WHEN base = 11 THEN RETURN yy || '/' || mm || '/' || dd;
    WHEN base = 12 THEN RETURN yy || mm || dd;
    WHEN style IN (0, 100) THEN RETURN mon || ' ' || d2 || ' ' || yyyy || ' ' || h12 || ':'
                                       || to_char(value, 'MI') || ampm;
    WHEN base = 6 THEN RETURN dd || ' ' || mon || ' ' || yy;
    WHEN base = 7 THEN RETURN mon || ' ' || dd || ', ' || yy;
    WHEN base = 8 THEN RETURN to_char(value, 'HH24:MI:SS');
    WHEN base = 9 THEN RETURN mon || ' ' || d2 || ' ' || yyyy || ' ' || h12 || ':'
                              || to_char(value, 'MI:SS') || ':000' || ampm;
    WHEN style IN (20, 120) THEN RETURN to_char(value, 'YYYY-MM-DD HH24:MI:SS');
    WHEN style IN (21, 121) THEN RETURN to_char(value, 'YYYY-MM-DD HH24:MI:SS') || '.000';
    WHEN style = 23 THEN RETURN to_char(value, 'YYYY-MM-DD');
    WHEN style = 126 THEN RETURN to_char(value, 'YYYY-MM-DD"T"HH24:MI:SS');
    ELSE NULL;
  END CASE;
  RAISE EXCEPTION '% is not a valid style number when converting from datetime to a character string.', style;
END
$$;

-- The date-part names are the canonical ones (year, quarter, month, dayofyear, day,
-- week, weekday, hour, minute, second, millisecond).
CREATE OR REPLACE FUNCTION tsql.dateadd(part text, amount bigint, value timestamp)
RETURNS timestamp LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
DECLARE
  t timestamp := date_trunc('second', value);
  months numeric;
  total numeric;
  secs numeric;
  e numeric;
BEGIN
  IF part IN ('year', 'quarter', 'month') THEN
    months := amount::numeric * CASE part WHEN 'year' THEN 12 WHEN 'quarter' THEN 3 ELSE 1 END;
    total := extract(year FROM t) * 12 + extract(month FROM t) - 1 + months;
    IF total >= 1753 * 12 AND total <= 9999 * 12 + 11 THEN
      -- PostgreSQL keeps the day within the new month, as DATEADD does.
      RETURN t + make_interval(months => months::integer);
    END IF;
  ELSE
    secs := CASE part
      WHEN 'day' THEN amount::numeric * 86400 WHEN 'dayofyear' THEN amount::numeric * 86400
      WHEN 'weekday' THEN amount::numeric * 86400 WHEN 'week' THEN amount::numeric * 604800
      WHEN 'hour' THEN amount::numeric * 3600 WHEN 'minute' THEN amount::numeric * 60
      WHEN 'second' THEN amount::numeric WHEN 'millisecond' THEN (amount / 1000)::numeric
      END;
    IF secs IS NOT NULL THEN
      e := extract(epoch FROM t) + secs;
      IF e >= extract(epoch FROM timestamp '1753-01-01')
         AND e <= extract(epoch FROM timestamp '9999-12-31 23:59:59') THEN
        RETURN timestamp '1970-01-01' + make_interval(secs => e::float8);
      END IF;
    END IF;
  END IF;
  RAISE EXCEPTION 'Adding a value to a ''datetime'' column caused an overflow.';
END
$$;

CREATE OR REPLACE FUNCTION tsql.dateadd(part text, amount bigint, value text) RETURNS timestamp
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT tsql.dateadd(part, amount, tsql.to_datetime(value))
$$;

-- The boundaries of the part crossed from a to b; 0 for an unknown part.
CREATE OR REPLACE FUNCTION tsql.datediff(part text, a timestamp, b timestamp) RETURNS bigint
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT (CASE part
  WHEN 'year' THEN extract(year FROM b) - extract(year FROM a)
  WHEN 'quarter' THEN extract(year FROM b) * 4 + extract(quarter FROM b)
                      - extract(year FROM a) * 4 - extract(quarter FROM a)
  WHEN 'month' THEN extract(year FROM b) * 12 + extract(month FROM b)
                    - extract(year FROM a) * 12 - extract(month FROM a)
  WHEN 'day' THEN floor(eb / 86400) - floor(ea / 86400)
  WHEN 'dayofyear' THEN floor(eb / 86400) - floor(ea / 86400)
  WHEN 'weekday' THEN floor(eb / 86400) - floor(ea / 86400)
  WHEN 'hour' THEN floor(eb / 3600) - floor(ea / 3600)
  WHEN 'minute' THEN floor(eb / 60) - floor(ea / 60)
  WHEN 'second' THEN eb - ea
  -- Weeks begin on Sunday; 1970-01-04 was one.
  WHEN 'week' THEN floor((floor(eb / 86400) - 3) / 7) - floor((floor(ea / 86400) - 3) / 7)
  WHEN 'millisecond' THEN (eb - ea) * 1000
  ELSE 0 END)::bigint
FROM (SELECT floor(extract(epoch FROM a)) AS ea, floor(extract(epoch FROM b)) AS eb) AS e
$$;

CREATE OR REPLACE FUNCTION tsql.datediff(part text, a text, b text) RETURNS bigint
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT tsql.datediff(part, tsql.to_datetime(a), tsql.to_datetime(b))
$$;

-- Sunday is day 1 of the week; week 1 holds January 1. 0 for an unknown part.
CREATE OR REPLACE FUNCTION tsql.datepart(part text, value timestamp) RETURNS bigint
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT (CASE part
  WHEN 'year' THEN extract(year FROM value)
  WHEN 'quarter' THEN extract(quarter FROM value)
  WHEN 'month' THEN extract(month FROM value)
  WHEN 'day' THEN extract(day FROM value)
  WHEN 'dayofyear' THEN extract(doy FROM value)
  WHEN 'weekday' THEN extract(dow FROM value) + 1
  WHEN 'week' THEN floor((extract(doy FROM value) - 1
                          + extract(dow FROM date_trunc('year', value))) / 7) + 1
  WHEN 'hour' THEN extract(hour FROM value)
  WHEN 'minute' THEN extract(minute FROM value)
  WHEN 'second' THEN floor(extract(second FROM value))
  ELSE 0 END)::bigint
$$;

CREATE OR REPLACE FUNCTION tsql.datepart(part text, value text) RETURNS bigint
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT tsql.datepart(part, tsql.to_datetime(value))
$$;

CREATE OR REPLACE FUNCTION tsql.datename(part text, value timestamp) RETURNS text
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT CASE part WHEN 'month' THEN to_char(value, 'FMMonth')
  WHEN 'weekday' THEN to_char(value, 'FMDay')
  ELSE tsql.datepart(part, value)::text END
$$;

CREATE OR REPLACE FUNCTION tsql.datename(part text, value text) RETURNS text
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT tsql.datename(part, tsql.to_datetime(value))
$$;

-- CONVERT and CAST ---------------------------------------------------------

-- A type as TypeSpec::ToString writes it: "int", "varchar(50)",
-- "varchar(max)", "decimal(18, 2)". length -1 when none, -2 for max; scale
-- -1 when none. kind: int, float, text, datetime, or NULL for a type the
-- engine does not know.
CREATE OR REPLACE FUNCTION tsql.parse_type(type text, OUT name text, OUT length integer,
                                           OUT scale integer, OUT kind text)
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
DECLARE
  m text[] := regexp_match(type COLLATE "C",
    '^\s*([A-Za-z_][A-Za-z0-9_]*)\s*(?:\(\s*([A-Za-z]+|[0-9]+)\s*(?:,\s*([0-9]+)\s*)?\))?\s*$');
BEGIN
  IF m IS NULL THEN
    RAISE EXCEPTION 'Type % is not a defined system type.', type;
  END IF;
  name := lower(m[1] COLLATE "C");
  length := CASE WHEN m[2] IS NULL THEN -1 WHEN m[2] ~ '^[0-9]' THEN m[2]::integer ELSE -2 END;
  scale := coalesce(m[3]::integer, -1);
  kind := CASE
    WHEN name IN ('int', 'bigint', 'smallint', 'tinyint', 'bit', 'integer') THEN 'int'
    WHEN name IN ('decimal', 'numeric', 'dec') THEN CASE WHEN scale > 0 THEN 'float' ELSE 'int' END
    WHEN name IN ('float', 'real', 'money', 'smallmoney') THEN 'float'
    WHEN name IN ('char', 'varchar', 'nchar', 'nvarchar', 'text', 'ntext', 'sysname') THEN 'text'
    WHEN name IN ('datetime', 'smalldatetime', 'date', 'datetime2') THEN 'datetime'
    END;
END
$$;

-- A float as a 64-bit integer, toward zero. One beyond 64 bits (or NaN) is
-- the smallest integer, as the embedded engine's conversion gives it on
-- x86-64.
CREATE OR REPLACE FUNCTION tsql.float_bigint(value double precision) RETURNS bigint
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT CASE WHEN value >= -9223372036854775808::float8 AND value < 9223372036854775808::float8
  THEN trunc(value)::bigint ELSE -9223372036854775808 END
$$;

-- The checks of an integer target type; the value for it.
CREATE OR REPLACE FUNCTION tsql.fit_integer(name text, value bigint) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
BEGIN
  IF name = 'bit' THEN RETURN (value <> 0)::integer; END IF;
  IF (name = 'int' AND value NOT BETWEEN -2147483648 AND 2147483647)
     OR (name = 'smallint' AND value NOT BETWEEN -32768 AND 32767)
     OR (name = 'tinyint' AND value NOT BETWEEN 0 AND 255) THEN
    RAISE EXCEPTION 'Arithmetic overflow error converting expression to data type %.', name;
  END IF;
  RETURN value;
END
$$;

-- The type's kind must be wanted.
CREATE OR REPLACE FUNCTION tsql.expect_kind(name text, kind text, wanted text) RETURNS void
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
BEGIN
  IF kind IS NULL THEN
    RAISE EXCEPTION 'Type % is not a defined system type.', name;
  END IF;
  IF kind <> wanted THEN
    RAISE EXCEPTION 'tsql.convert_%: % is not of that kind.', wanted, name;
  END IF;
END
$$;

-- The conversion cores: the value is the one of t (text), i (integer), f
-- (float) and ts (date) that is not NULL; all NULL: a NULL value.
CREATE OR REPLACE FUNCTION tsql.convert_int_of(type text, t text, i bigint, f double precision,
                                               ts timestamp) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
  ty record := tsql.parse_type(type);
  v bigint;
  d double precision;
  dt timestamp;
BEGIN
  IF t IS NULL AND i IS NULL AND f IS NULL AND ts IS NULL THEN RETURN NULL; END IF;
  PERFORM tsql.expect_kind(ty.name, ty.kind, 'int');
  IF i IS NOT NULL THEN
    v := i;
  ELSIF f IS NOT NULL THEN
    v := tsql.float_bigint(CASE WHEN ty.name IN ('decimal', 'numeric') THEN tsql.round_away(f)
                                ELSE f END);
  ELSIF ts IS NOT NULL THEN
    v := floor(tsql.datetime_number(date_trunc('second', ts)) + 0.5::float8);
  ELSE
    v := tsql.text_to_integer(t);
    IF v IS NULL THEN
      d := CASE WHEN ty.name IN ('decimal', 'numeric') THEN tsql.text_to_float(t) END;
      dt := CASE WHEN d IS NULL AND strpos(t COLLATE "C", ':') > 0 THEN tsql.parse_datetime(t) END;
      IF d IS NOT NULL THEN
        v := tsql.float_bigint(tsql.round_away(d));
      ELSIF dt IS NOT NULL THEN
        v := floor(tsql.datetime_number(dt) + 0.5::float8);
      ELSE
        RAISE EXCEPTION 'Conversion failed when converting the varchar value ''%'' to data type %.',
          t, ty.name;
      END IF;
    END IF;
  END IF;
  RETURN tsql.fit_integer(ty.name, v);
END
$$;

CREATE OR REPLACE FUNCTION tsql.convert_float_of(type text, t text, i bigint, f double precision,
                                                 ts timestamp) RETURNS double precision
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
  ty record := tsql.parse_type(type);
  v double precision;
  dt timestamp;
  p double precision;
BEGIN
  IF t IS NULL AND i IS NULL AND f IS NULL AND ts IS NULL THEN RETURN NULL; END IF;
  PERFORM tsql.expect_kind(ty.name, ty.kind, 'float');
  IF i IS NOT NULL THEN
    v := i::float8;
  ELSIF f IS NOT NULL THEN
    v := f;
  ELSIF ts IS NOT NULL THEN
    v := tsql.datetime_number(date_trunc('second', ts));
  ELSE
    v := tsql.text_to_float(t);
    IF v IS NULL THEN
      dt := CASE WHEN strpos(t COLLATE "C", ':') > 0 THEN tsql.parse_datetime(t) END;
      IF dt IS NULL THEN
        RAISE EXCEPTION 'Error converting data type varchar to %.', ty.name;
      END IF;
      v := tsql.datetime_number(dt);
    END IF;
  END IF;
  IF ty.scale > 0 AND ty.name IN ('decimal', 'numeric') THEN
    p := power(10::float8, ty.scale::float8);
    v := tsql.round_away(v * p) / p;
  END IF;
  RETURN v;
END
$$;

CREATE OR REPLACE FUNCTION tsql.convert_text_of(type text, t text, i bigint, f double precision,
                                                ts timestamp, style integer) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
  ty record := tsql.parse_type(type);
  s text COLLATE "C";
  dt timestamp;
  n integer;
BEGIN
  IF t IS NULL AND i IS NULL AND f IS NULL AND ts IS NULL THEN RETURN NULL; END IF;
  PERFORM tsql.expect_kind(ty.name, ty.kind, 'text');
  IF i IS NOT NULL THEN
    s := i::text;
  ELSIF f IS NOT NULL THEN
    s := tsql.float_text(f);
  ELSE
    s := coalesce(t, tsql.datetime_text(ts));
    -- A style formats a text that reads as a date.
    IF style >= 0 AND s <> '' THEN
      dt := tsql.parse_datetime(s);
      IF dt IS NOT NULL THEN s := tsql.format_date_style(dt, style); END IF;
    END IF;
  END IF;
  n := CASE WHEN ty.name IN ('text', 'ntext') THEN -2 WHEN ty.length = -1 THEN 30
            ELSE ty.length END;
  IF n >= 0 THEN
    s := left(s, n);
    IF ty.name IN ('char', 'nchar') THEN s := rpad(s, n); END IF;
  END IF;
  RETURN s;
END
$$;

CREATE OR REPLACE FUNCTION tsql.convert_datetime_of(type text, t text, i bigint,
                                                    f double precision, ts timestamp)
RETURNS timestamp LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
  ty record := tsql.parse_type(type);
  v timestamp;
BEGIN
  IF t IS NULL AND i IS NULL AND f IS NULL AND ts IS NULL THEN RETURN NULL; END IF;
  PERFORM tsql.expect_kind(ty.name, ty.kind, 'datetime');
  v := CASE WHEN ts IS NOT NULL THEN date_trunc('second', ts)
            WHEN i IS NOT NULL THEN tsql.to_datetime(i::float8)
            WHEN f IS NOT NULL THEN tsql.to_datetime(f)
            ELSE tsql.to_datetime(t) END;
  IF ty.name = 'date' THEN v := date_trunc('day', v); END IF;
  RETURN v;
END
$$;

-- Any conversion, its result as text (as the embedded engine shows it:
-- integers in decimal, floats as "%.15g", dates "YYYY-MM-DD HH:MM:SS").
CREATE OR REPLACE FUNCTION tsql.convert_of(type text, t text, i bigint, f double precision,
                                           ts timestamp, style integer) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
  ty record := tsql.parse_type(type);
BEGIN
  IF t IS NULL AND i IS NULL AND f IS NULL AND ts IS NULL THEN RETURN NULL; END IF;
  CASE ty.kind
    WHEN 'int' THEN RETURN tsql.convert_int_of(type, t, i, f, ts)::text;
    WHEN 'float' THEN RETURN tsql.float_text(tsql.convert_float_of(type, t, i, f, ts));
    WHEN 'text' THEN RETURN tsql.convert_text_of(type, t, i, f, ts, style);
    WHEN 'datetime' THEN RETURN tsql.datetime_text(tsql.convert_datetime_of(type, t, i, f, ts));
    ELSE RAISE EXCEPTION 'Type % is not a defined system type.', ty.name;
  END CASE;
END
$$;

CREATE OR REPLACE FUNCTION tsql.convert_int(type text, value text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_int_of(type, value, NULL, NULL, NULL)
$$;

CREATE OR REPLACE FUNCTION tsql.convert_int(type text, value bigint) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_int_of(type, NULL, value, NULL, NULL)
$$;

CREATE OR REPLACE FUNCTION tsql.convert_int(type text, value integer) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_int_of(type, NULL, value, NULL, NULL)
$$;

CREATE OR REPLACE FUNCTION tsql.convert_int(type text, value double precision) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_int_of(type, NULL, NULL, value, NULL)
$$;

CREATE OR REPLACE FUNCTION tsql.convert_int(type text, value timestamp) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_int_of(type, NULL, NULL, NULL, value)
$$;

-- CONVERT(int, value): an integer, as SQL Server's int. From an integer it
-- is the value itself, which the planner then sees as the column: ordered
-- by it, a query reads the column's index in order (and stops at its TOP).
CREATE OR REPLACE FUNCTION tsql.convert_to_int(value integer) RETURNS integer
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT value
$$;

CREATE OR REPLACE FUNCTION tsql.convert_to_int(value text) RETURNS integer
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_int_of('int', value, NULL, NULL, NULL)::integer
$$;

CREATE OR REPLACE FUNCTION tsql.convert_to_int(value bigint) RETURNS integer
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_int_of('int', NULL, value, NULL, NULL)::integer
$$;

CREATE OR REPLACE FUNCTION tsql.convert_to_int(value double precision) RETURNS integer
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_int_of('int', NULL, NULL, value, NULL)::integer
$$;

CREATE OR REPLACE FUNCTION tsql.convert_to_int(value timestamp) RETURNS integer
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_int_of('int', NULL, NULL, NULL, value)::integer
$$;

CREATE OR REPLACE FUNCTION tsql.convert_float(type text, value text) RETURNS double precision
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_float_of(type, value, NULL, NULL, NULL)
$$;

CREATE OR REPLACE FUNCTION tsql.convert_float(type text, value bigint) RETURNS double precision
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_float_of(type, NULL, value, NULL, NULL)
$$;

CREATE OR REPLACE FUNCTION tsql.convert_float(type text, value integer) RETURNS double precision
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_float_of(type, NULL, value, NULL, NULL)
$$;

CREATE OR REPLACE FUNCTION tsql.convert_float(type text, value double precision) RETURNS double precision
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_float_of(type, NULL, NULL, value, NULL)
$$;

CREATE OR REPLACE FUNCTION tsql.convert_float(type text, value timestamp) RETURNS double precision
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_float_of(type, NULL, NULL, NULL, value)
$$;

CREATE OR REPLACE FUNCTION tsql.convert_datetime(type text, value text) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_datetime_of(type, value, NULL, NULL, NULL)
$$;

CREATE OR REPLACE FUNCTION tsql.convert_datetime(type text, value bigint) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_datetime_of(type, NULL, value, NULL, NULL)
$$;

CREATE OR REPLACE FUNCTION tsql.convert_datetime(type text, value integer) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_datetime_of(type, NULL, value, NULL, NULL)
$$;

CREATE OR REPLACE FUNCTION tsql.convert_datetime(type text, value double precision) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_datetime_of(type, NULL, NULL, value, NULL)
$$;

CREATE OR REPLACE FUNCTION tsql.convert_datetime(type text, value timestamp) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_datetime_of(type, NULL, NULL, NULL, value)
$$;

CREATE OR REPLACE FUNCTION tsql.convert_text(type text, value text, style integer DEFAULT NULL)
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_text_of(type, value, NULL, NULL, NULL, coalesce(style, -1))
$$;

CREATE OR REPLACE FUNCTION tsql.convert_text(type text, value bigint, style integer DEFAULT NULL)
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_text_of(type, NULL, value, NULL, NULL, coalesce(style, -1))
$$;

CREATE OR REPLACE FUNCTION tsql.convert_text(type text, value integer, style integer DEFAULT NULL)
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_text_of(type, NULL, value, NULL, NULL, coalesce(style, -1))
$$;

CREATE OR REPLACE FUNCTION tsql.convert_text(type text, value double precision, style integer DEFAULT NULL)
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_text_of(type, NULL, NULL, value, NULL, coalesce(style, -1))
$$;

CREATE OR REPLACE FUNCTION tsql.convert_text(type text, value timestamp, style integer DEFAULT NULL)
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_text_of(type, NULL, NULL, NULL, value, coalesce(style, -1))
$$;

CREATE OR REPLACE FUNCTION tsql.convert(type text, value text, style integer DEFAULT NULL)
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_of(type, value, NULL, NULL, NULL, coalesce(style, -1))
$$;

CREATE OR REPLACE FUNCTION tsql.convert(type text, value bigint, style integer DEFAULT NULL)
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_of(type, NULL, value, NULL, NULL, coalesce(style, -1))
$$;

CREATE OR REPLACE FUNCTION tsql.convert(type text, value integer, style integer DEFAULT NULL)
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_of(type, NULL, value, NULL, NULL, coalesce(style, -1))
$$;

CREATE OR REPLACE FUNCTION tsql.convert(type text, value double precision, style integer DEFAULT NULL)
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_of(type, NULL, NULL, value, NULL, coalesce(style, -1))
$$;

CREATE OR REPLACE FUNCTION tsql.convert(type text, value timestamp, style integer DEFAULT NULL)
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_of(type, NULL, NULL, NULL, value, coalesce(style, -1))
$$;

-- GETDATE(): the server's local time when the statement began (not the
-- transaction: a loop inside one sees the time go on), in whole seconds as
-- the embedded engine keeps it.
CREATE OR REPLACE FUNCTION tsql.getdate() RETURNS timestamp
LANGUAGE sql STABLE PARALLEL SAFE AS $$
SELECT date_trunc('second', statement_timestamp()::timestamp)
$$;

-- Integer operands (literals and int columns) take the bigint division, not
-- the double precision one PostgreSQL would prefer. (mod has only the
-- bigint form, which they take anyway.)
CREATE OR REPLACE FUNCTION tsql.div(a integer, b integer) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.div(a::bigint, b::bigint)
$$;

-- "+" whose operand types the translator could not tell: SQL Server's type
-- precedence (a number outranks text, which converts to it) decided by the
-- types the server resolves.
CREATE OR REPLACE FUNCTION tsql.add(a text, b text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT a || b
$$;

CREATE OR REPLACE FUNCTION tsql.add(a bigint, b bigint) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT a + b
$$;

CREATE OR REPLACE FUNCTION tsql.add(a text, b bigint) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_int('int', a) + b
$$;

CREATE OR REPLACE FUNCTION tsql.add(a bigint, b text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT a + tsql.convert_int('int', b)
$$;

CREATE OR REPLACE FUNCTION tsql.add(a double precision, b double precision)
RETURNS double precision LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT a + b
$$;

CREATE OR REPLACE FUNCTION tsql.add(a text, b double precision) RETURNS double precision
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT tsql.convert_float('float', a) + b
$$;

CREATE OR REPLACE FUNCTION tsql.add(a double precision, b text) RETURNS double precision
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT a + tsql.convert_float('float', b)
$$;

-- The objects of the database as dbo.sysobjects, OBJECT_ID and
-- OBJECTPROPERTY see them: its tables (the session's temporary ones marked
-- temp) and its procedures (the engine's table of them left out).
CREATE OR REPLACE FUNCTION tsql.objects() RETURNS TABLE (name text, type text, temp boolean)
LANGUAGE sql STABLE PARALLEL SAFE AS $$
SELECT c.relname::text, 'U', c.relpersistence = 't' FROM pg_class c
 WHERE c.relkind IN ('r', 'p') AND c.relname <> 'tsql_procedures'
   AND (c.relnamespace = 'public'::regnamespace OR c.relnamespace = pg_my_temp_schema())
UNION ALL
SELECT p.written, 'P', false FROM public.tsql_procedures p
$$;

-- The object's own name in a (bracketed, dotted) name: "[dbo].[t]" is "t".
CREATE OR REPLACE FUNCTION tsql.object_part(name text) RETURNS text
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
DECLARE
  part text COLLATE "C" := '';
  in_bracket boolean := false;
  c text COLLATE "C";
BEGIN
  FOREACH c IN ARRAY regexp_split_to_array(name COLLATE ucs_basic, '') LOOP
    IF c = '[' AND NOT in_bracket THEN
      in_bracket := true;
    ELSIF c = ']' AND in_bracket THEN
      in_bracket := false;
    ELSIF c = '.' AND NOT in_bracket THEN
      part := '';
    ELSE
      part := part || c;
    END IF;
  END LOOP;
  RETURN part;
END
$$;

-- (Its parameter is not called "name": in the query that would be the
-- column of objects().)
CREATE OR REPLACE FUNCTION tsql.object_id(target text) RETURNS bigint
LANGUAGE sql STABLE PARALLEL SAFE AS $$
SELECT tsql.objid(o.name) FROM tsql.objects() o
 WHERE lower(o.name) = lower(tsql.object_part(target))
   AND o.temp = (left(tsql.object_part(target), 1) = '#')
 LIMIT 1
$$;

CREATE OR REPLACE FUNCTION tsql.objectproperty(id bigint, property text) RETURNS integer
LANGUAGE sql STABLE PARALLEL SAFE AS $$
SELECT CASE WHEN lower(property) IN ('isusertable', 'istable') THEN (o.type = 'U')::integer
            WHEN lower(property) = 'isprocedure' THEN (o.type = 'P')::integer END
  FROM tsql.objects() o WHERE tsql.objid(o.name) = id LIMIT 1
$$;

-- @@SERVERNAME: the server's cluster name when it has one, else the address
-- the connection reached it on ("localhost" over a local socket).
CREATE OR REPLACE FUNCTION tsql.servername() RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $$
SELECT coalesce(nullif(current_setting('cluster_name', true), ''), host(inet_server_addr()),
                'localhost')
$$;

-- Aggregates --------------------------------------------------------------

-- AVG keeps its operand's type, as SQL Server's: the average of integers
-- is an integer, cut toward zero.
CREATE OR REPLACE FUNCTION tsql.avg_accum(state numeric[], value smallint) RETURNS numeric[]
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT ARRAY[state[1] + 1, state[2] + value]
$$;

CREATE OR REPLACE FUNCTION tsql.avg_accum(state numeric[], value integer) RETURNS numeric[]
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT ARRAY[state[1] + 1, state[2] + value]
$$;

CREATE OR REPLACE FUNCTION tsql.avg_accum(state numeric[], value bigint) RETURNS numeric[]
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT ARRAY[state[1] + 1, state[2] + value]
$$;

CREATE OR REPLACE FUNCTION tsql.avg_accum(state numeric[], value numeric) RETURNS numeric[]
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT ARRAY[state[1] + 1, state[2] + value]
$$;

CREATE OR REPLACE FUNCTION tsql.avg_integer(state numeric[]) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT CASE WHEN state[1] = 0 THEN NULL ELSE trunc(state[2] / state[1])::bigint END
$$;

CREATE OR REPLACE FUNCTION tsql.avg_numeric(state numeric[]) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT CASE WHEN state[1] = 0 THEN NULL ELSE state[2] / state[1] END
$$;

CREATE OR REPLACE AGGREGATE tsql.avg(smallint) (SFUNC = tsql.avg_accum, STYPE = numeric[], FINALFUNC = tsql.avg_integer, INITCOND = '{0,0}', PARALLEL = SAFE);
CREATE OR REPLACE AGGREGATE tsql.avg(integer) (SFUNC = tsql.avg_accum, STYPE = numeric[], FINALFUNC = tsql.avg_integer, INITCOND = '{0,0}', PARALLEL = SAFE);
CREATE OR REPLACE AGGREGATE tsql.avg(bigint) (SFUNC = tsql.avg_accum, STYPE = numeric[], FINALFUNC = tsql.avg_integer, INITCOND = '{0,0}', PARALLEL = SAFE);
CREATE OR REPLACE AGGREGATE tsql.avg(numeric) (SFUNC = tsql.avg_accum, STYPE = numeric[], FINALFUNC = tsql.avg_numeric, INITCOND = '{0,0}', PARALLEL = SAFE);
CREATE OR REPLACE AGGREGATE tsql.avg(double precision) (SFUNC = float8_accum, STYPE = double precision[], FINALFUNC = float8_avg, INITCOND = '{0,0,0}', PARALLEL = SAFE);
