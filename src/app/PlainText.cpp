#include "PlainText.h"

#include <QLabel>
#include <QTextDocumentFragment>

namespace PlainText {
namespace {
const QLatin1StringView kOpen("<p style='white-space:pre-wrap'>");
const QLatin1StringView kClose("</p>");
} // namespace

void apply(QWidget *root)
{
    if (!root)
        return;
    if (auto *label = qobject_cast<QLabel *>(root))
        label->setTextFormat(Qt::PlainText);
    for (QLabel *label : root->findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
}

QString toolTip(const QString &text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    return kOpen + text.toHtmlEscaped() + kClose;
}

QString fromToolTip(const QString &tip)
{
    if (!tip.startsWith(kOpen) || !tip.endsWith(kClose))
        return tip;
    return QTextDocumentFragment::fromHtml(tip).toPlainText();
}

} // namespace PlainText
