#include "CompletionList.h"

#include <QSet>

#include <algorithm>

using ServiceFraming::CompletionCandidate;
using ServiceFraming::CompletionSignature;

namespace CompletionList {
namespace {
int kindOrder(CompletionCandidate::Kind kind)
{
    switch (kind) {
    case CompletionCandidate::Kind::Local:
        return 0;
    case CompletionCandidate::Kind::Field:
    case CompletionCandidate::Kind::Method:
        return 1;
    case CompletionCandidate::Kind::Type:
        return 2;
    case CompletionCandidate::Kind::Package:
        return 3;
    case CompletionCandidate::Kind::Keyword:
        return 4;
    }
    return 5;
}

// 0 begins with prefix as typed, 1 in another case, 2 holds it, -1 does not match.
int matchOrder(const QString& name, QStringView prefix)
{
    if (name.startsWith(prefix))
        return 0;
    if (name.startsWith(prefix, Qt::CaseInsensitive))
        return 1;
    if (name.contains(prefix, Qt::CaseInsensitive))
        return 2;
    return -1;
}
} // namespace

QList<CompletionCandidate> rank(const QList<CompletionCandidate>& candidates, QStringView prefix)
{
    struct Ranked {
        int match;
        int kind;
        const CompletionCandidate* candidate;
    };
    std::vector<Ranked> ranked;
    ranked.reserve(candidates.size());
    for (const CompletionCandidate& c : candidates) {
        const int match = matchOrder(c.name, prefix);
        if (match >= 0)
            ranked.push_back({match, kindOrder(c.kind), &c});
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
        if (a.match != b.match)
            return a.match < b.match;
        if (a.kind != b.kind)
            return a.kind < b.kind;
        if (const int byName = a.candidate->name.compare(b.candidate->name, Qt::CaseInsensitive); byName != 0)
            return byName < 0;
        if (const int exact = a.candidate->name.compare(b.candidate->name); exact != 0)
            return exact < 0;
        // Overloads: the shorter parameter list first.
        return a.candidate->detail.size() < b.candidate->detail.size();
    });
    QList<CompletionCandidate> out;
    QSet<QString> shown;
    for (const Ranked& r : ranked) {
        if (!shown.contains(label(*r.candidate))) {
            shown.insert(label(*r.candidate));
            out.push_back(*r.candidate);
        }
    }
    return out;
}

QString label(const CompletionCandidate& c)
{
    switch (c.kind) {
    case CompletionCandidate::Kind::Method:
        return c.name + c.detail;
    case CompletionCandidate::Kind::Local:
    case CompletionCandidate::Kind::Field:
        return c.detail.isEmpty() ? c.name : c.name + QStringLiteral(" : ") + c.detail;
    case CompletionCandidate::Kind::Type:
    case CompletionCandidate::Kind::Package:
        return c.detail.isEmpty() ? c.name : c.name + QStringLiteral(" - ") + c.detail;
    case CompletionCandidate::Kind::Keyword:
        break;
    }
    return c.name;
}

Insertion insertion(const CompletionCandidate& c, QStringView textAfterWord)
{
    Insertion out{c.name, c.name.size(), false};
    if (c.kind != CompletionCandidate::Kind::Method)
        return out;
    const QStringView rest = textAfterWord.trimmed();
    if (rest.startsWith(u'('))
        return out; // the arguments are there already
    out.text += QStringLiteral("()");
    out.caret = c.takesArguments ? c.name.size() + 1 : out.text.size();
    out.opensCall = c.takesArguments;
    return out;
}

Hint hint(const QList<CompletionSignature>& signatures, int argument)
{
    Hint out;
    QList<const CompletionSignature*> ordered;
    for (const CompletionSignature& s : signatures)
        ordered.push_back(&s);
    std::stable_sort(ordered.begin(), ordered.end(), [](const CompletionSignature* a, const CompletionSignature* b) {
        return a->parameters.size() < b->parameters.size();
    });
    bool highlighted = false;
    for (const CompletionSignature* s : ordered) {
        if (!out.text.isEmpty())
            out.text += u'\n';
        out.text += s->name + u'(';
        for (qsizetype i = 0; i < s->parameters.size(); ++i) {
            if (i > 0)
                out.text += QStringLiteral(", ");
            const bool rest = i == s->parameters.size() - 1 && s->parameters[i].contains(QStringLiteral("...")) && argument > i;
            if (!highlighted && (i == argument || rest)) {
                out.highlightFrom = out.text.size();
                out.highlightTo = out.text.size() + s->parameters[i].size();
                highlighted = true;
            }
            out.text += s->parameters[i];
        }
        out.text += u')';
    }
    return out;
}

} // namespace CompletionList
