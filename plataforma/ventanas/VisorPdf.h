#pragma once

#include "Abridor.h"

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
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
    // Back to the exam: the window steps aside, minimised, and stays open for the next time.
    void volverAlExamen();

protected:
    bool eventFilter(QObject *objeto, QEvent *evento) override;
    void resizeEvent(QResizeEvent *evento) override;

private:
    VentanaDocumento(const QString &ruta, const QString &aviso);
    // The zoom the view shows now, whatever its mode: fitting to the width computes its own.
    qreal zoomEfectivo() const;
    void ponerZoom(qreal factor);
    void mostrarPagina();
    void prepararTextos();
    void mostrarDocumento(const QString &ruta, QPushButton *ancho);

    QPdfDocument *m_documento;
    QPdfView *m_vista;
    QLabel *m_pagina;
    QLabel *m_aviso; // null while a document is shown: a screen reader has nothing to find there
    QPlainTextEdit *m_texto; // the words of the page shown, for a screen reader
    int m_paginaDelTexto = 0; // the page whose words it holds
    QPushButton *m_alejar;
    QPushButton *m_acercar;
    bool m_cargado = false;
};

// The notices of the viewer, as the student reads them.
QString avisoAbriendoDocumento();
QString avisoDocumentoAusente(const QString &ruta);
QString avisoDocumentoIlegible(const QString &ruta);

// How long a reader of documents may take, by what it does. Starting the program is given a
// generous time of the wall clock; after that, whenever the reader owes the station something
// (the document read and on screen, or the answer to a question), it is judged by the processor
// time it spends meanwhile: a damaged document keeps it busy in a loop and spends it all, while
// a busy or slow computer only makes it wait. A reader that owes an answer longer than
// `esperaMs`, however little it works, is stuck as well.
struct PlazosLector {
    int arranqueMs = 15000; // until the program runs, on the slowest computer
    int procesadorMs = 700; // of processor time, owing an answer
    int esperaMs = 60000; // of the wall clock, owing an answer
};

// The document opener of the station. A document is read by a process of its own (this same
// program started with `opcionMostrarDocumento()`), since a damaged document can keep the
// reader busy for ever: the exam never waits on it, and a reader stuck by the rules of
// PlazosLector is killed and the student gets the notice in a window of the station. While a
// reader starts and reads, a small window of the station says "Abriendo el documento…". Each
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
    explicit VisorPdf(const QString &programa = {}, PlazosLector plazos = {});
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
    void mostrarAbriendo(const QString &clave);
    void quitarAbriendo(const QString &clave);
    void leerRespuestas(const QString &clave);
    bool atascado(Lector &lector) const;
    void vigilar();

    QString m_programa;
    PlazosLector m_plazos;
    QHash<QString, QPointer<QWidget>> m_abriendo;
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
