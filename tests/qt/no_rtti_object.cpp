// An object of a class compiled without run-time type information, as the
// browser engine's own classes are (its code is built with -fno-rtti).
#include <QObject>

namespace tallyro::test {

class NoRttiObject : public QObject {
public:
    ~NoRttiObject() override;
};

NoRttiObject::~NoRttiObject() = default;

QObject* makeNoRttiObject() {
    return new NoRttiObject;
}

}  // namespace tallyro::test
