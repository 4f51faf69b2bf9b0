#include "models/Slug.h"

namespace Slug {

QString slugify(const QString& text) {
    const QString lower = text.toLower();
    QString slug;
    slug.reserve(lower.size());
    bool pendingDash = false;
    for (const QChar c : lower) {
        const bool kept = (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
        if (!kept) {
            pendingDash = true;
            continue;
        }
        if (pendingDash && !slug.isEmpty())
            slug += u'-';
        pendingDash = false;
        slug += c;
    }
    return slug;
}

} // namespace Slug
