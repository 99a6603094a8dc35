#pragma once

#include "Abridor.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

class QLabel;
class QPdfDocument;
class QPdfView;
class QPushButton;

// A reference document in a window of the station's own: fit to its width, zoom, pages, and
// nothing that leads out of the exam (no open, save or print, no links to other programs).
class VentanaDocumento final : public QWidget {
    Q_OBJECT
public:
    explicit VentanaDocumento(const QString &ruta);

    // False when the document is missing or cannot be read: the window says so instead.
    bool cargado() const { return m_cargado; }
    QString aviso() const;
    int pagina() const; // from 1
    int paginas() const;
    qreal zoom() const;
    QPdfView *vista() const { return m_vista; }

    void acercar();
    void alejar();

protected:
    bool eventFilter(QObject *objeto, QEvent *evento) override;
    void resizeEvent(QResizeEvent *evento) override;

private:
    // The zoom the view shows now, whatever its mode: fitting to the width computes its own.
    qreal zoomEfectivo() const;
    void ponerZoom(qreal factor);
    void mostrarPagina();

    QPdfDocument *m_documento;
    QPdfView *m_vista;
    QLabel *m_pagina;
    QLabel *m_aviso;
    QPushButton *m_alejar;
    QPushButton *m_acercar;
    bool m_cargado = false;
};

// The document opener of the station: each document in its own maximised, activated window,
// apart from the forms, so that it outlives every rebuild of the exam form and the exam
// itself. Opening a document again brings its window to the front. The windows close with
// the station.
class VisorPdf final : public IAbridorDocumentos {
public:
    VisorPdf() = default;
    ~VisorPdf() override;
    VisorPdf(const VisorPdf &) = delete;
    VisorPdf &operator=(const VisorPdf &) = delete;

    void abrir(const QString &ruta) override;
    // The open window of a document, if any.
    VentanaDocumento *ventana(const QString &ruta) const;

private:
    QHash<QString, QPointer<VentanaDocumento>> m_ventanas;
};
