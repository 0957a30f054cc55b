#include "editor/settings.h"

#include <QDir>
#include <QSettings>

namespace orvella {

namespace {

constexpr char Group[] = "Settings";

int32_t ReadInteger(const QSettings& store, const char* name, int32_t fallback) {
    const QVariant value = store.value(QLatin1String(name));
    bool ok = false;
    const int result = value.toInt(&ok);
    return value.isValid() && ok ? int32_t(result) : fallback;
}

} // namespace

QString DefaultTempFolder() {
    QString folder = QDir::tempPath();
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return folder;
}

void LoadSettings(TEditorSettings& settings) {
    QSettings store(QStringLiteral("Quendrix"), QStringLiteral("Orvella"));
    store.beginGroup(QLatin1String(Group));
    const QVariant folder = store.value(QStringLiteral("tempfolder"));
    settings.tempfolder = folder.isValid() ? folder.toString() : DefaultTempFolder();
    settings.selectiontype = ReadInteger(store, "selectiontype", 0);
    settings.backcolor = ReadInteger(store, "backcolor", 0);
    settings.scalecolor = ReadInteger(store, "scalecolor", DefaultScaleColor);
    settings.wavecolor = ReadInteger(store, "wavecolor", DefaultWaveColor);
    settings.posx = ReadInteger(store, "posx", -1);
    settings.posy = ReadInteger(store, "posy", -1);
    settings.width = ReadInteger(store, "width", -1);
    settings.height = ReadInteger(store, "height", -1);
    settings.dither = ReadInteger(store, "dither", 1) != 0;
    store.endGroup();
}

void SaveSettings(const TEditorSettings& settings) {
    QSettings store(QStringLiteral("Quendrix"), QStringLiteral("Orvella"));
    store.beginGroup(QLatin1String(Group));
    store.setValue(QStringLiteral("tempfolder"), settings.tempfolder);
    store.setValue(QStringLiteral("selectiontype"), settings.selectiontype);
    store.setValue(QStringLiteral("backcolor"), settings.backcolor);
    store.setValue(QStringLiteral("scalecolor"), settings.scalecolor);
    store.setValue(QStringLiteral("wavecolor"), settings.wavecolor);
    store.setValue(QStringLiteral("posx"), settings.posx);
    store.setValue(QStringLiteral("posy"), settings.posy);
    store.setValue(QStringLiteral("width"), settings.width);
    store.setValue(QStringLiteral("height"), settings.height);
    store.setValue(QStringLiteral("dither"), settings.dither ? 1 : 0);
    store.endGroup();
    store.sync();
}

} // namespace orvella
