#pragma once

#include "Abridor.h"

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class QLabel;
class QPdfDocument;
class QPdfView;
class QPushButton;
class QTimer;

// A reference document in a window of the station's own: fit to its width, zoom, pages, and
// nothing that leads out of the exam (no open, save or print, no links to other programs).
class VentanaDocumento final : public QWidget {
    Q_OBJECT
public:
    explicit VentanaDocumento(const QString &ruta);
    // The same window with no document, saying why it cannot be shown.
    static VentanaDocumento *conAviso(const QString &ruta, const QString &aviso);

    // False when the document is missing or cannot be read: the window says so instead.
    bool cargado() const { return m_cargado; }
    QString aviso() const;
    int pagina() const; // from 1
    int paginas() const;
    qreal zoom() const;

    void acercar();
    void alejar();

protected:
    bool eventFilter(QObject *objeto, QEvent *evento) override;
    void resizeEvent(QResizeEvent *evento) override;

private:
    VentanaDocumento(const QString &ruta, const QString &aviso);
    // The zoom the view shows now, whatever its mode: fitting to the width computes its own.
    qreal zoomEfectivo() const;
    void ponerZoom(qreal factor);
    void mostrarPagina();
    void mostrarDocumento(const QString &ruta, QPushButton *ancho);

    QPdfDocument *m_documento;
    QPdfView *m_vista;
    QLabel *m_pagina;
    QLabel *m_aviso;
    QPushButton *m_alejar;
    QPushButton *m_acercar;
    bool m_cargado = false;
};

// The notices of the viewer, as the student reads them.
QString avisoDocumentoAusente(const QString &ruta);
QString avisoDocumentoIlegible(const QString &ruta);

// The document opener of the station. A document is read by a process of its own (this same
// program started with `opcionMostrarDocumento()`), since a damaged document can keep the
// reader busy for ever: the exam never waits on it, and a reader that does not answer within
// two seconds is killed and the student gets the notice in a window of the station. Each
// document has its own maximised, activated window, which outlives every rebuild of the exam
// form and the exam itself; opening a document again brings its window to the front. The
// windows close with the station.
class VisorPdf final : public QObject, public IAbridorDocumentos {
    Q_OBJECT
public:
    enum class Estado {
        Cerrado, // never opened, or closed by the student
        Abriendo, // the reader is starting or reading it
        Abierto, // shown by its reader, which answers
        Aviso, // the station shows the notice instead
    };

    // `programa` is the executable that reads documents apart; this program by default.
    explicit VisorPdf(const QString &programa = {});
    ~VisorPdf() override;
    VisorPdf(const VisorPdf &) = delete;
    VisorPdf &operator=(const VisorPdf &) = delete;

    void abrir(const QString &ruta) override;
    Estado estado(const QString &ruta) const;
    // The process that shows a document, 0 when none does.
    qint64 proceso(const QString &ruta) const;

private:
    struct Lector;
    void mostrarAviso(const QString &clave, const QString &texto);
    void leerRespuestas(const QString &clave);
    void vigilar();

    QString m_programa;
    QHash<QString, Lector *> m_lectores;
    QHash<QString, QPointer<VentanaDocumento>> m_avisos;
    QTimer *m_vigilancia;
};

// The option that makes this program the reader of one document: `programa OPCION RUTA`.
QString opcionMostrarDocumento();
// The option that makes it check that a document opens, with no window: `programa OPCION RUTA`.
QString opcionProbarDocumento();
// When `argumentos` (the program's own) ask for one of the two, does it and returns the exit
// code; otherwise returns -1 and does nothing. Needs the application object.
int atenderDocumentoAparte(const QStringList &argumentos);

// Checks, in a process of `programa` killed after `plazoMs`, that the document opens and has
// pages. Returns why it does not, or an empty string.
QString probarDocumentoAparte(const QString &programa, const QString &ruta, int plazoMs = 10000);
