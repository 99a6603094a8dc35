#pragma once

#include "HojaCalculo.h"
#include "Llaves.h"
#include "Sello.h"

#include <QString>

#include <memory>
#include <mutex>
#include <vector>

// The station's journal: a hidden file in its folder with the line of every seal the station
// made, in order, each forced to the disk before its workbook is saved. It is only ever added
// to. A line cut short by a killed process stays behind as an unreadable line; the chain goes
// on from the last whole one.
QString rutaDiario(const QString &carpetaEstacion);

struct LineaDiario {
    CamposSello campos; // where they lie in LecturaDiario::bytes
    Huella huella; // of the line: what the next seal names as its previous one
};
struct LecturaDiario {
    QByteArray bytes; // the whole file, which the lines point into
    std::vector<LineaDiario> lineas; // the whole seals, in the order of the file
    int ilegibles = 0; // lines that are no seal
};
// A journal that is not there reads as empty.
Resultado leerDiario(const QString &carpetaEstacion, LecturaDiario *diario);

// The sealer of a station: signs with the station's private key and keeps every seal in the
// journal before it hands it over.
class SelladorEstacion final : public ISellador {
public:
    // The sealer of the station in `carpetaEstacion`. Nothing, with an ok `motivo`, for a
    // station that has no key: its rows go unsealed. Nothing, with the reason, when its key
    // cannot be used on this computer.
    static std::unique_ptr<SelladorEstacion> cargar(
        const QString &carpetaEstacion, Resultado *motivo);
    ~SelladorEstacion() override;

    Resultado sellar(const QString &archivo, int fila, const CeldasFila &celdas, QString *propiedad,
        QString *sello) override;

    const IdentidadEstacion &identidad() const { return m_identidad; }

private:
    SelladorEstacion() = default;

    QString m_carpeta;
    IdentidadEstacion m_identidad;
    QByteArray m_privada;
    std::mutex m_turno;
};
