import java.io.ByteArrayOutputStream;
import java.io.DataOutputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.util.Locale;

import javax.tools.JavaCompiler;
import javax.tools.ToolProvider;

/**
 * One pass through what the services do (a check, completions, a parameter hint, a few snippets in a
 * session), run once with -XX:ArchiveClassesAtExit so that the classes it loads are kept in a
 * class-data archive: a service started with that archive skips most of their loading.
 */
public final class ServiceTraining {
    static final String Source = String.join("\n",
        "import java.util.*;",
        "import java.util.stream.*;",
        "",
        "public class Training {",
        "    private final List<String> names = new ArrayList<>();",
        "    private final Map<String, Integer> counts = new HashMap<>();",
        "",
        "    static int twice(int n) {",
        "        return n * 2;",
        "    }",
        "",
        "    int total(String prefix) {",
        "        int sum = 0;",
        "        for (String name : names) {",
        "            if (name.startsWith(prefix))",
        "                sum += counts.getOrDefault(name, 0) + twice(name.length());",
        "        }",
        "        String text = names.stream().map(String::trim).collect(Collectors.joining(\", \"));",
        "        StringBuilder out = new StringBuilder(text);",
        "        System.out.println(out.reverse());",
        "        return sum;",
        "    }",
        "}",
        "");

    private ServiceTraining() {
    }

    public static void main(String[] args) throws IOException {
        final JavaCompiler compiler = ToolProvider.getSystemJavaCompiler();
        if (compiler == null)
            System.exit(2);
        final CheckService.DiscardingFileManager files = new CheckService.DiscardingFileManager(
            compiler.getStandardFileManager(null, Locale.ROOT, StandardCharsets.UTF_8));
        final String broken = Source.replace("return sum;", "return sum");
        for (int round = 0; round < 3; ++round) {
            CheckService.answer(compiler, files, check(Source));
            CheckService.answer(compiler, files, check(broken));
            CheckService.answer(compiler, files, complete(Source, "out.", 0));
            CheckService.answer(compiler, files, complete(Source, "        int sum", 0));
            CheckService.answer(compiler, files, complete(Source, "twice(", 1));
        }
        InteractionsService.train();
        System.exit(0);
    }

    static byte[] check(String source) throws IOException {
        final ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        final DataOutputStream out = new DataOutputStream(bytes);
        out.writeByte('C');
        out.writeInt(1);
        CheckService.writeString(out, "Training.java");
        CheckService.writeString(out, "");
        CheckService.writeString(out, source);
        CheckService.writeString(out, "");
        return bytes.toByteArray();
    }

    /** A completion ('K', what 0) or a hint (what 1) right after the first place where mark ends. */
    static byte[] complete(String source, String mark, int what) throws IOException {
        final ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        final DataOutputStream out = new DataOutputStream(bytes);
        out.writeByte('K');
        out.writeInt(2);
        CheckService.writeString(out, "Training.java");
        CheckService.writeString(out, "");
        CheckService.writeString(out, source);
        out.writeInt(source.indexOf(mark) + mark.length());
        out.writeByte(what);
        return bytes.toByteArray();
    }
}
