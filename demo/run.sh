#!/bin/bash
# Builds Kestran and runs a sample application folder under Wine.
#
# No Windows Java runtime exists on a Linux build machine, so by default the sample runs on
# Kestran's test runtime (a stand-in jvm.dll that acts out a scripted main class). Set
# KESTRAN_DEMO_JRE to the Unix path of a Windows JRE/JDK folder to run the real sample class.
set -euo pipefail
REPO="$(cd "$(dirname "$0")/.." && pwd)"
cd "$REPO"

bash .ci/install-deps.sh
cmake --preset windows >/dev/null
cmake --build build/windows -j2 --target kestran testjvm_runtime

APP="$REPO/build/demo/SampleApp"
rm -rf "$APP"
mkdir -p "$APP/lib" "$APP/classes"

# The sample application: a real class in a jar, plus a second jar for the wildcard.
javac -d "$APP/classes" demo/sample/src/com/example/demo/Main.java
(cd "$APP/classes" && jar cf "$APP/lib/sample.jar" com)
(cd "$APP/classes" && jar cf "$APP/lib/extras.jar" -C "$APP/classes" .)
rm -rf "$APP/classes"
cp build/windows/kestran.exe "$APP/SampleApp.exe"

if [ -n "${KESTRAN_DEMO_JRE:-}" ]; then
    cp -r "$KESTRAN_DEMO_JRE" "$APP/jre64"
    echo "Runtime: the Windows JRE from $KESTRAN_DEMO_JRE, copied to jre64\\"
    SCRIPT=""
else
    cp -r build/windows/tests/testjvm/runtime "$APP/jre64"
    echo "Runtime: no Windows JRE on this machine, so the demo uses Kestran's test runtime, a"
    echo "stand-in jvm.dll that records what the launcher hands it and acts out a scripted main"
    echo "class. Set KESTRAN_DEMO_JRE to a Windows JRE folder to run the real sample class."
    SCRIPT=" \"-Dtestjvm.main=print:Hello from the sample application\" -Dtestjvm.log=jvm-log.txt"
fi

cat > "$APP/SampleApp.ini" <<INI
[Product Information]
Product Name=Kestran Demo
Product Code=sample

[Java Runtime Environment]
Main Class=com.example.demo.Main
Minimum Version=1.8
Virtual Machine Parameters=-Xmx25P "-Dsample.greeting=Hello from the sample application"$SCRIPT

[Class Path]
Class Path=lib\\*.jar

[Application]
Cmd=--from-ini "two words"
Output File=logs\\out_%yyyyMMdd-HHmmss%.log
INI
sed -i 's/$/\r/' "$APP/SampleApp.ini"

source tests/tools/wine-env.sh
wine_env_start >/dev/null 2>&1
trap wine_env_stop EXIT

echo
echo "== $APP/SampleApp.ini"
cat "$APP/SampleApp.ini" | tr -d '\r'
echo
echo "== SampleApp.exe report.txt \"Grüße\"   (KESTRAN_TRACE=1 explains each decision on stderr)"
set +e
(cd "$APP" && KESTRAN_TRACE=1 LC_ALL=C.UTF-8 "$WINE_LOADER" ./SampleApp.exe report.txt "Grüße")
code=$?
set -e
echo "== exit code: $code"
echo
for log in "$APP"/logs/out_*.log; do
    echo "== System.out went to logs/$(basename "$log"):"
    cat "$log" | tr -d '\r'
done
if [ -f "$APP/jvm-log.txt" ]; then
    echo
    echo "== what the test runtime received (jvm-log.txt, options and arguments):"
    grep -E '^(option|arg) ' "$APP/jvm-log.txt" || true
fi
