import java.io.BufferedInputStream;
import java.io.BufferedOutputStream;
import java.io.ByteArrayOutputStream;
import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.EOFException;
import java.io.File;
import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;
import java.net.URI;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;

import javax.tools.Diagnostic;
import javax.tools.DiagnosticCollector;
import javax.tools.FileObject;
import javax.tools.ForwardingJavaFileManager;
import javax.tools.JavaCompiler;
import javax.tools.JavaFileManager;
import javax.tools.JavaFileObject;
import javax.tools.SimpleJavaFileObject;
import javax.tools.StandardJavaFileManager;
import javax.tools.ToolProvider;

/**
 * Checks the editor's text with the JDK's compiler, kept warm between checks.
 *
 * The editor writes requests to standard input and reads replies from standard output; each message
 * is a 4-byte big-endian length followed by that many bytes. Strings inside are a 4-byte length and
 * UTF-8 bytes.
 *
 * Request: 'C', u32 id, string path, string root, string source, string misplaced. root is the
 * folder that holds the packages of the document's program (its other sources are read from there);
 * empty means the document has no file yet: nothing else is read from disk and its name is not held
 * against it. misplaced, when not empty, is the package the document declares though its folder
 * does not spell it: root is then the document's folder, and its sources are taken as that package,
 * so that one misplaced file is one mistake and not a cascade of missing classes.
 * Reply:   'D', u32 id, u32 count, then count times: u8 kind (0 error, 1 warning), s32 start,
 *          s32 end (UTF-16 offsets into the source, end exclusive), s32 line (1-based),
 *          string message.
 *          'F', u32 id, string reason: the compiler itself failed on the text (a stack overflow on
 *          deep nesting, say), so nothing is known about its errors.
 *
 * Completion requests ('K') are answered by Completion, which says how they look.
 *
 * The service writes no class files and runs no annotation processors. It ends when its input ends.
 */
public final class CheckService {
    static final int MaxMessage = 64 << 20;
    static final int MaxDiagnostics = 500;

    public static void main(String[] args) throws IOException {
        // The protocol owns standard output; anything else printed by mistake goes to standard error.
        final PrintStream protocolOut = System.out;
        System.setOut(System.err);
        final JavaCompiler compiler = ToolProvider.getSystemJavaCompiler();
        if (compiler == null) {
            System.err.println("No Java compiler in this runtime (a JRE without the JDK?)");
            System.exit(2);
        }
        final StandardJavaFileManager standard = compiler.getStandardFileManager(null, Locale.ROOT, StandardCharsets.UTF_8);
        final DiscardingFileManager files = new DiscardingFileManager(standard);

        final DataInputStream in = new DataInputStream(new BufferedInputStream(System.in, 1 << 16));
        final DataOutputStream out = new DataOutputStream(new BufferedOutputStream(protocolOut, 1 << 16));
        while (true) {
            final byte[] request;
            try {
                final int length = in.readInt();
                if (length < 0 || length > MaxMessage)
                    throw new IOException("request of " + length + " bytes");
                request = new byte[length];
                in.readFully(request);
            } catch (EOFException end) {
                return; // the editor has gone
            }
            final byte[] reply = answer(compiler, files, request);
            out.writeInt(reply.length);
            out.write(reply);
            out.flush();
        }
    }

    static byte[] answer(JavaCompiler compiler, DiscardingFileManager files, byte[] request) throws IOException {
        final DataInputStream in = new DataInputStream(new java.io.ByteArrayInputStream(request));
        final byte type = in.readByte();
        if (type == 'K')
            return Completion.answer(compiler, files, in);
        if (type != 'C')
            throw new IOException("not a check request");
        final int id = in.readInt();
        final String path = readString(in);
        final String root = readString(in);
        final String source = readString(in);
        final String misplaced = in.available() > 0 ? readString(in) : "";

        final List<Diagnostic<? extends JavaFileObject>> found = new ArrayList<>();
        files.takeFolderAsPackage(misplaced.isEmpty() ? null : new File(root), misplaced);
        final String failure = check(compiler, files, path, root, source, found);

        final ByteArrayOutputStream bytes = new ByteArrayOutputStream(256);
        final DataOutputStream out = new DataOutputStream(bytes);
        if (failure != null) {
            out.writeByte('F');
            out.writeInt(id);
            writeString(out, failure);
            out.flush();
            return bytes.toByteArray();
        }
        out.writeByte('D');
        out.writeInt(id);
        final List<Diagnostic<? extends JavaFileObject>> shown = new ArrayList<>();
        for (Diagnostic<? extends JavaFileObject> d : found) {
            final boolean located = d.getStartPosition() != Diagnostic.NOPOS && d.getEndPosition() != Diagnostic.NOPOS;
            final boolean kept = d.getKind() == Diagnostic.Kind.ERROR || d.getKind() == Diagnostic.Kind.WARNING
                || d.getKind() == Diagnostic.Kind.MANDATORY_WARNING;
            if (located && kept && shown.size() < MaxDiagnostics)
                shown.add(d);
        }
        out.writeInt(shown.size());
        for (Diagnostic<? extends JavaFileObject> d : shown) {
            out.writeByte(d.getKind() == Diagnostic.Kind.ERROR ? 0 : 1);
            final int start = (int) Math.min(d.getStartPosition(), source.length());
            final int end = (int) Math.max(start, Math.min(d.getEndPosition(), source.length()));
            out.writeInt(start);
            out.writeInt(end);
            out.writeInt((int) d.getLineNumber());
            writeString(out, d.getMessage(Locale.ROOT));
        }
        out.flush();
        return bytes.toByteArray();
    }

    /** Fills mine with the diagnostics for the document; returns why the compiler failed, or null. */
    static String check(JavaCompiler compiler, JavaFileManager files, String path, String root, String source,
                         List<Diagnostic<? extends JavaFileObject>> mine) {
        final DiagnosticCollector<JavaFileObject> collected = new DiagnosticCollector<>();
        final List<String> options = new ArrayList<>();
        options.add("-proc:none");
        options.add("-implicit:none");
        options.add("-Xmaxerrs");
        options.add(Integer.toString(MaxDiagnostics));
        // The program's other classes are seen, as javac -sourcepath with the same root sees them.
        options.add("-sourcepath");
        options.add(root);
        options.add("-classpath");
        options.add(root);
        final boolean saved = !root.isEmpty();
        final JavaFileObject unit = new EditorSource(path, source, saved);
        try {
            // Analysis only: attributed and flow-checked, never generated.
            ReusedTasks.run(compiler, files, collected, options, root, List.of(unit), task -> task.analyze());
        } catch (IOException | RuntimeException | Error crash) {
            // The compiler gave up half-way: what it found so far is no verdict on the text, and an
            // empty list would read as "no errors". The service itself goes on.
            System.err.println("compiler fault: " + crash);
            Throwable cause = crash;
            while (cause.getCause() != null && cause.getCause() != cause)
                cause = cause.getCause();
            return cause.getClass().getSimpleName();
        }
        String unplaced = null;
        boolean placedError = false;
        for (Diagnostic<? extends JavaFileObject> d : collected.getDiagnostics()) {
            if (d.getSource() == unit)
                mine.add(d);
            final boolean error = d.getKind() == Diagnostic.Kind.ERROR && (d.getSource() == null || d.getSource() == unit);
            if (error && d.getStartPosition() == Diagnostic.NOPOS && unplaced == null)
                unplaced = d.getMessage(Locale.ROOT);
            placedError |= error && d.getStartPosition() != Diagnostic.NOPOS;
        }
        // An error with no place in the text (javac could not read something it needs) cannot be
        // shown as a squiggle, and leaving it out would pass for a clean text.
        return placedError ? null : unplaced;
    }

    static String readString(DataInputStream in) throws IOException {
        final int length = in.readInt();
        if (length < 0 || length > in.available())
            throw new IOException("string of " + length + " bytes");
        final byte[] bytes = new byte[length];
        in.readFully(bytes);
        return new String(bytes, StandardCharsets.UTF_8);
    }

    static void writeString(DataOutputStream out, String text) throws IOException {
        final byte[] bytes = text.getBytes(StandardCharsets.UTF_8);
        out.writeInt(bytes.length);
        out.write(bytes);
    }

    /** The editor's text under the document's own name. */
    static final class EditorSource extends SimpleJavaFileObject {
        private final String text;
        private final boolean saved;

        EditorSource(String path, String text, boolean saved) {
            super(uriOf(path), Kind.SOURCE);
            this.text = text;
            this.saved = saved;
        }

        static URI uriOf(String path) {
            final String name = path.endsWith(".java") ? path : path + ".java";
            return new File(name).getAbsoluteFile().toURI();
        }

        @Override
        public CharSequence getCharContent(boolean ignoreEncodingErrors) {
            return text;
        }

        @Override
        public boolean isNameCompatible(String simpleName, Kind kind) {
            // A document not saved yet has no name to keep to: a public class may have any name.
            return !saved || super.isNameCompatible(simpleName, kind);
        }
    }

    /** Reads as the standard manager does; whatever the compiler would write goes nowhere. */
    static final class DiscardingFileManager extends ForwardingJavaFileManager<StandardJavaFileManager> {
        private File packageFolder;
        private String packageName = "";

        DiscardingFileManager(StandardJavaFileManager standard) {
            super(standard);
        }

        /** The sources in folder are read as the package packageName; null folder: none are. */
        void takeFolderAsPackage(File folder, String packageName) {
            this.packageFolder = folder;
            this.packageName = packageName;
        }

        /** The package the folder is read as, "" when none is: what was listed under it depends on it. */
        String folderTakenAs() {
            return packageFolder == null ? "" : packageName;
        }

        private boolean isInPackageFolder(JavaFileObject file) {
            if (packageFolder == null || file.getKind() != JavaFileObject.Kind.SOURCE || !"file".equals(file.toUri().getScheme()))
                return false;
            final File parent = new File(file.toUri()).getParentFile();
            return parent != null && parent.equals(packageFolder);
        }

        @Override
        public Iterable<JavaFileObject> list(Location location, String packageName, java.util.Set<JavaFileObject.Kind> kinds,
                                             boolean recurse) throws IOException {
            if (packageFolder == null || location != javax.tools.StandardLocation.SOURCE_PATH
                || !packageName.equals(this.packageName) || !kinds.contains(JavaFileObject.Kind.SOURCE))
                return super.list(location, packageName, kinds, recurse);
            final List<File> sources = new ArrayList<>();
            final File[] inFolder = packageFolder.listFiles((dir, name) -> name.endsWith(".java"));
            if (inFolder != null) {
                for (File file : inFolder) {
                    if (file.isFile())
                        sources.add(file);
                }
            }
            final List<JavaFileObject> found = new ArrayList<>();
            fileManager.getJavaFileObjectsFromFiles(sources).forEach(found::add);
            return found;
        }

        @Override
        public String inferBinaryName(Location location, JavaFileObject file) {
            if (location == javax.tools.StandardLocation.SOURCE_PATH && isInPackageFolder(file)) {
                final String name = new File(file.toUri()).getName();
                return packageName + "." + name.substring(0, name.length() - ".java".length());
            }
            return super.inferBinaryName(location, file);
        }

        @Override
        public JavaFileObject getJavaFileForOutput(Location location, String className, JavaFileObject.Kind kind,
                                                   FileObject sibling) {
            return new Discarded(URI.create("discarded:///" + className.replace('.', '/') + kind.extension), kind);
        }

        @Override
        public FileObject getFileForOutput(Location location, String packageName, String relativeName, FileObject sibling) {
            return new Discarded(URI.create("discarded:///" + packageName.replace('.', '/') + "/" + relativeName),
                                 JavaFileObject.Kind.OTHER);
        }
    }

    static final class Discarded extends SimpleJavaFileObject {
        Discarded(URI uri, Kind kind) {
            super(uri, kind);
        }

        @Override
        public OutputStream openOutputStream() {
            return OutputStream.nullOutputStream();
        }
    }
}
