// The window's own texts in Thai: every message of the translation file is
// translated, keeps the same %N places (a lost %2 would drop the page number
// from the status bar), and the embedded Thai catalogue gives that text.

#include <QFile>
#include <QRegularExpression>
#include <QTranslator>
#include <QXmlStreamReader>

#include <set>
#include <vector>

#include <gtest/gtest.h>

namespace idr::test {
namespace {

struct Message {
    QString context, source, translation;
    bool finished = true;
};

std::vector<Message> messages_of(const QString& ts) {
    QFile file(ts);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << ts.toStdString();
    QXmlStreamReader xml(&file);
    std::vector<Message> out;
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == QLatin1String("name")) context = xml.readElementText();
        else if (xml.name() == QLatin1String("message")) out.push_back({context, {}, {}});
        else if (xml.name() == QLatin1String("source")) out.back().source = xml.readElementText();
        else if (xml.name() == QLatin1String("translation")) {
            out.back().finished = xml.attributes().value(QLatin1String("type")).isEmpty();
            out.back().translation = xml.readElementText();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return out;
}

std::multiset<QString> places(const QString& text) {
    std::multiset<QString> out;
    for (const auto& m : QRegularExpression(QStringLiteral("%\\d")).globalMatch(text)) out.insert(m.captured());
    return out;
}

TEST(Translation, EveryMessageIsTranslatedWithItsPlacesAndEmbedded) {
    for (const char* language : {"th", "en"}) {
        SCOPED_TRACE(language);
        const std::vector<Message> messages =
            messages_of(QStringLiteral(IDR_GUI_I18N_DIR "/id-reader_%1.ts").arg(QLatin1String(language)));
        EXPECT_GE(messages.size(), 30u);
        QTranslator embedded;
        ASSERT_TRUE(embedded.load(QStringLiteral(":/i18n/id-reader_%1.qm").arg(QLatin1String(language))));
        for (const Message& m : messages) {
            SCOPED_TRACE(m.source.toStdString());
            EXPECT_TRUE(m.finished);
            EXPECT_FALSE(m.translation.isEmpty());
            EXPECT_EQ(places(m.translation), places(m.source));
            EXPECT_EQ(embedded.translate(m.context.toUtf8().constData(), m.source.toUtf8().constData()),
                      m.translation);
        }
    }
}

}  // namespace
}  // namespace idr::test
