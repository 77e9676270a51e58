#include "qt/spanish_qt.h"

#include <cstring>

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace vintrel {

namespace {

// The texts Qt's own Spanish catalogue lacks: the file dialog's kinds of entry ("Folder" in
// its type column).
class MissingSpanish final : public QTranslator {
  public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char* /*disambiguation*/,
                      int /*n*/) const override {
        static constexpr struct {
            const char* source;
            const char* spanish;
        } kFileKinds[] = {{"Folder", "Carpeta"}, {"Drive", "Unidad"},
                          {"File", "Fichero"},   {"%1 File", "Fichero %1"},
                          {"Alias", "Alias"},    {"Shortcut", "Acceso directo"}};
        if (!context || !source || std::strcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        for (const auto& k : kFileKinds)
            if (std::strcmp(source, k.source) == 0) return QString::fromUtf8(k.spanish);
        return {};
    }
};

}  // namespace

bool InstallSpanishQtTranslations() {
    // Dates and sizes in the file dialog follow the default locale.
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
    QCoreApplication* app = QCoreApplication::instance();
    auto* translator = new QTranslator(app);
    if (!translator->load(QStringLiteral("qtbase_es"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    // Installed last, so asked first; it answers only for the texts the catalogue lacks.
    return QCoreApplication::installTranslator(translator) &&
           QCoreApplication::installTranslator(new MissingSpanish(app));
}

}  // namespace vintrel
