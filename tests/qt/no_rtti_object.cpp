// An object of a class compiled without run-time type information, as the
// browser engine's own classes are (its code is built with -fno-rtti).
#include <QObject>

namespace tallyro::test {

class NoRttiObject : public QObject {};

QObject* makeNoRttiObject() {
    return new NoRttiObject;
}

// Deleted here, where the class is known: code built with type information
// (and checked by the undefined-behaviour sanitizer) cannot vouch for its vptr.
void destroyNoRttiObject(QObject* object) {
    delete object;
}

}  // namespace tallyro::test
