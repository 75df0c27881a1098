#!/bin/sh
# Makes the class-data archive of the Java services beside their jar: the classes one training pass
# loads (a check, completions, an interactions session), stored so that a service started with
# -XX:SharedArchiveFile maps them instead of loading them. The archive is tied to the jar's path
# and to the JDK that made it; the program uses it only when it is there, and a stale one is
# refused by the virtual machine without harm. Failing to make it is no error.
#
#   make-class-archive.sh JAR [JAVA]    JAVA: the launcher beside javac on the search path by default
jar=$1
java=${2:-}
if [ -z "$java" ]; then
    javac=$(command -v javac) || exit 0
    java=$(dirname "$(readlink -f "$javac")")/java
fi
[ -x "$java" ] && [ -f "$jar" ] || exit 0
archive=${jar%.jar}.jsa
partial=$archive.$$
rm -f "$archive"
# The same options as the services' own (JavaLookup.cpp), or the archive does not fit them.
if "$java" -XX:+UseSerialGC -XX:TieredStopAtLevel=1 -Xshare:auto \
        --add-exports=jdk.compiler/com.sun.tools.javac.api=ALL-UNNAMED \
        -Xlog:disable -Xlog:all=error:stderr -XX:ArchiveClassesAtExit="$partial" \
        -cp "$jar" ServiceTraining >/dev/null 2>&1 && [ -s "$partial" ]; then
    chmod 644 "$partial"
    mv -f "$partial" "$archive"
else
    rm -f "$partial"
fi
exit 0
