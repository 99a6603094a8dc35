#pragma once

class IReloj {
public:
    virtual ~IReloj() = default;
    // Seconds of the current time of day, 0 to 59.
    virtual int segundos() const = 0;
};

class RelojSistema final : public IReloj {
public:
    int segundos() const override;
};
