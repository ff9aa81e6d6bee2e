// A Qt image-format plug-in: every Qt program reads the picture formats Qt does not read itself
// through this system's readers, by file suffix or format name. The pixel-buffer limit is the
// smaller of the readers' own and Qt's allocation limit.
#pragma once

#include <QImageIOHandler>
#include <QImageIOPlugin>

namespace ferronel::qtimageformat {

// Whether the plug-in serves Format (a lower-case extension): registered with the picture registry
// and not one Qt reads on its own.
bool ServesFormat(const QByteArray& Format);

class TPictureHandler : public QImageIOHandler {
public:
    bool canRead() const override;
    bool read(QImage* Image) override;
};

class TPicturePlugin : public QImageIOPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "ferronel.json")
public:
    Capabilities capabilities(QIODevice* Device, const QByteArray& Format) const override;
    QImageIOHandler* create(QIODevice* Device, const QByteArray& Format = QByteArray()) const override;
};

} // namespace ferronel::qtimageformat
