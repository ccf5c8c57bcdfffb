#include "data/ServerDialect.h"

#include <QStringList>
#include <algorithm>
#include <vector>

namespace {

bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$'); }

// The word (letters, digits, _) that starts at i, in small letters; empty when none starts there.
QString wordAt(const QString &s, int i)
{
    if (i > 0 && isWordChar(s[i - 1]))
        return {};
    int end = i;
    while (end < s.size() && isWordChar(s[end]))
        ++end;
    return s.mid(i, end - i).toLower();
}

// Where the blanks from i end.
int skipBlanks(const QString &s, int i)
{
    while (i < s.size() && s[i].isSpace())
        ++i;
    return i;
}

// Words that end a list of sort keys at its own depth.
bool endsSortKeys(const QString &word)
{
    static const QStringList words{QStringLiteral("limit"), QStringLiteral("offset"), QStringLiteral("fetch"),
                                   QStringLiteral("for"), QStringLiteral("rows"), QStringLiteral("range"),
                                   QStringLiteral("groups"), QStringLiteral("union"), QStringLiteral("except"),
                                   QStringLiteral("intersect"), QStringLiteral("window")};
    return words.contains(word);
}

}  // namespace

QString SortNullsAsTheFile(const QString &in)
{
    // Where each sort key ends, with what goes there; filled by one pass over the text.
    struct Insert { int at; QString text; };
    std::vector<Insert> inserts;
    struct Open { int depth; bool desc, saysNulls, hasKey; };
    std::vector<Open> lists;  // the ORDER BY lists being read, innermost last
    int depth = 0;
    const auto endKey = [&](int at) {
        Open &l = lists.back();
        if (l.hasKey && !l.saysNulls)
            inserts.push_back({at, l.desc ? QStringLiteral(" NULLS LAST") : QStringLiteral(" NULLS FIRST")});
        l.desc = l.saysNulls = l.hasKey = false;
    };
    const auto endList = [&](int at) {
        endKey(at);
        lists.pop_back();
    };
    int lastEnd = 0;  // where the last thing of a key (not a blank) ended
    for (int i = 0; i < in.size();) {
        const QChar c = in[i];
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            int j = i + 1;
            while (j < in.size() && !(in[j] == c && !(j + 1 < in.size() && in[j + 1] == c)))
                j += in[j] == c ? 2 : 1;
            i = j + 1;
            if (!lists.empty() && lists.back().depth == depth)
                lists.back().hasKey = true;
            lastEnd = i;
            continue;
        }
        if (c == QLatin1Char('(')) {
            ++depth;
            ++i;
            continue;
        }
        if (c == QLatin1Char(')')) {
            while (!lists.empty() && lists.back().depth == depth)
                endList(lastEnd);
            --depth;
            ++i;
            lastEnd = i;
            continue;
        }
        const bool atListDepth = !lists.empty() && lists.back().depth == depth;
        if (c == QLatin1Char(',') && atListDepth) {
            endKey(lastEnd);
            ++i;
            continue;
        }
        if (c == QLatin1Char(';')) {
            while (!lists.empty())
                endList(lastEnd);
            ++i;
            continue;
        }
        const QString word = isWordChar(c) ? wordAt(in, i) : QString();
        if (word.isEmpty()) {
            if (!c.isSpace()) {
                if (atListDepth)
                    lists.back().hasKey = true;
                lastEnd = i + 1;
            }
            ++i;
            continue;
        }
        const int after = i + int(word.size());
        if (word == QLatin1String("order")) {
            const int by = skipBlanks(in, after);
            if (wordAt(in, by) == QLatin1String("by")) {
                if (atListDepth)
                    endList(lastEnd);
                lists.push_back({depth, false, false, false});
                i = by + 2;
                continue;
            }
        }
        if (atListDepth) {
            if (endsSortKeys(word)) {
                endList(lastEnd);
            } else if (word == QLatin1String("desc")) {
                lists.back().desc = true;
            } else if (word == QLatin1String("nulls")) {
                lists.back().saysNulls = true;
            } else if (word != QLatin1String("asc") && word != QLatin1String("first") && word != QLatin1String("last")) {
                lists.back().hasKey = true;
            }
        }
        i = after;
        lastEnd = after;
    }
    while (!lists.empty())
        endList(lastEnd);
    std::stable_sort(inserts.begin(), inserts.end(), [](const Insert &a, const Insert &b) { return a.at < b.at; });
    QString out = in;
    for (auto it = inserts.rbegin(); it != inserts.rend(); ++it)
        out.insert(it->at, it->text);
    return out;
}
