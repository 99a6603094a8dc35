#pragma once

#include "Llaves.h"
#include "Sello.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <map>
#include <optional>
#include <vector>

// What the seal of one gathered row says of it.
enum class EstadoSello {
    Verificado, // signed by a registered station, for this workbook and row, and unchanged
    Alterado, // the row differs from what its seal signs
    Invalido, // the signature fails, or the seal names another workbook or row
    SinSello,
    Desconocida, // signed by a station the register does not have
    Reemplazado, // an older copy: the station's journal has a later save of this row
};
// "verificado", "alterado", …: the words of the sheet's column "Sello".
QString textoEstadoSello(EstadoSello estado);

// The custody of the results from the stations to the collection: the journals of the stations'
// folders checked against the staff's register, each row's seal judged against them, and each
// journal reconciled with the rows that arrived. Folders first, then rows, then terminar().
class Custodia {
public:
    explicit Custodia(RegistroEstaciones registro);

    // The identity and journal of a station's folder; before any row.
    void agregarCarpeta(const QString &carpeta);

    // Once every folder is in: frees what the rows' verdicts do not need.
    void cerrarDiarios();

    struct Juicio {
        EstadoSello estado = EstadoSello::SinSello;
        std::optional<Sello> sello; // when it reads as one
    };
    // The verdict on one row from the text of its seal (null when it has none). Only reads
    // what the folders left: rows may be judged on several threads at once.
    Juicio juzgar(const QString &textoSello, const QString &archivo, int fila,
        const QList<Celda> &celdas) const;

    // A row that went into the results, once per student and subject, from `carpeta`.
    void contar(const QString &carpeta, const QString &archivo, int fila, const Juicio &juicio);
    // After the last row: what every journal has that did not arrive.
    void terminar();

    struct FilaEstacion {
        QString estacion;
        QString diario; // "íntegro", "alterado", "sin diario", "estación desconocida", "sin llave"
        int guardados = 0, recopilados = 0, verificados = 0, alterados = 0, faltantes = 0,
            sobrantes = 0;
    };
    struct Problema {
        QString estacion;
        QString problema;
        QString libro;
        QString materia;
    };
    std::vector<FilaEstacion> estaciones() const;
    const std::vector<Problema> &problemas() const { return m_problemas; }
    // Every row verified and nothing missing, left over or altered.
    bool enOrden() const { return m_problemas.empty(); }

private:
    struct Estacion {
        FilaEstacion fila;
        bool conLlave = false; // a keyed station: rows without a seal are out of place
        bool integro = false; // its journal's chain holds and its last seal is the station's
        std::map<qint64, Sello> porSecuencia;
        QHash<std::pair<QString, int>, qint64> ultimo; // each row's last save
        QSet<std::pair<QString, int>> recibidos;
    };
    Estacion &estacion(const QString &nombre);
    void revisarDiario(Estacion &e);
    void problema(Estacion &e, const QString &que, const QString &libro = {}, int fila = 0);

    RegistroEstaciones m_registro;
    std::map<QString, Estacion> m_estaciones;
    QHash<QString, QString> m_carpetas; // folder → the station it names
    // Every seal of an intact journal, by the hash of its line: a row's seal found here is the
    // station's own, with no signature to check.
    QHash<QByteArray, const Sello *> m_conocidos;
    // The folder of the last row counted, and its station: rows come folder after folder.
    QString m_ultimaCarpeta;
    QString m_ultimaEstacion;
    std::vector<Problema> m_problemas;
};
