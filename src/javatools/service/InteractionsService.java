import java.io.BufferedInputStream;
import java.io.BufferedOutputStream;
import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.EOFException;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.io.PrintStream;
import java.net.InetAddress;
import java.net.ServerSocket;
import java.net.Socket;
import java.nio.charset.StandardCharsets;
import java.security.SecureRandom;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.LinkedBlockingQueue;
import java.util.stream.Collectors;

import jdk.jshell.DeclarationSnippet;
import jdk.jshell.Diag;
import jdk.jshell.EvalException;
import jdk.jshell.ExpressionSnippet;
import jdk.jshell.ImportSnippet;
import jdk.jshell.JShell;
import jdk.jshell.JShellException;
import jdk.jshell.MethodSnippet;
import jdk.jshell.Snippet;
import jdk.jshell.SnippetEvent;
import jdk.jshell.SourceCodeAnalysis;
import jdk.jshell.TypeDeclSnippet;
import jdk.jshell.UnresolvedReferenceException;
import jdk.jshell.VarSnippet;

/**
 * Evaluates Java snippets for the editor's Interactions pane with the JDK's jdk.jshell engine. The
 * user's code runs in a virtual machine the engine starts for it, so System.exit, an endless loop or
 * a crash there leaves this process (and the editor) standing.
 *
 * Messages in both directions are a 4-byte big-endian length and that many bytes; strings inside are
 * a 4-byte length and UTF-8 bytes.
 *
 * From the editor:
 *   'N' u32 id, string classPath, string setup
 *                                  a fresh session (the old one is closed) that evaluates setup
 *                                  first; answered by 'H' 
 *   'E' u32 id, u8 force, string source
 *                                  evaluate; answered by 'R'. Without force, input that is not
 *                                  finished yet (an open brace, a trailing operator) is not run.
 *   'T' bytes                      text for the session's System.in
 *   'S'                            stop the evaluation going on
 * To the editor:
 *   'H' u32 id, string note        the session is ready; note tells what of setup failed
 *   'R' u32 id, u8 complete, u32 count, count times:
 *        u8 kind, string name, string value, string type, string message, s32 start, s32 end
 *                                  kinds: 0 value, 1 declared, 2 error, 3 exception, 4 note;
 *                                  start/end: UTF-16 offsets of an error in the source, or -1
 *   'O' u8 channel (0 out, 1 err), bytes   what the user's code printed
 *   'I'                            the user's code waits for System.in
 *   'X' string note                the session ended by itself (System.exit); a fresh one is ready
 *
 * The service ends when its input ends.
 */
public final class InteractionsService {
    static final int MaxMessage = 16 << 20;
    static final int MaxItems = 200;
    static final int MaxText = 64 << 10;

    static final int Value = 0, Declared = 1, Error = 2, Exception = 3, Note = 4;

    // What learners reach for first, as a class of theirs would import it.
    static final String[] DefaultImports = {
        "import java.util.*;", "import java.util.function.*;", "import java.util.stream.*;",
        "import java.io.*;", "import java.math.*;",
    };

    static final String SessionEnded = "The session ended (the code called System.exit, or its virtual machine "
        + "stopped). A fresh one has started: what was declared before is gone.";

    private final DataOutputStream out;
    private final LinkedBlockingQueue<byte[]> typed = new LinkedBlockingQueue<>();
    private final ExecutorService worker = Executors.newSingleThreadExecutor(r -> {
        final Thread thread = new Thread(r, "evaluation");
        thread.setDaemon(true);
        return thread;
    });
    private volatile JShell shell;
    private volatile boolean ended;
    private volatile boolean reading; // the user's code waits for a line
    private volatile boolean evaluating;
    private volatile long evaluations; // counts the evaluations ended
    private volatile long requested; // counts the evaluations asked for (read by the reader thread)
    // A stop and the end of an evaluation take turns: a stop meant for one evaluation must never
    // reach the next one, nor leave an end of input behind for it.
    private final Object stopLock = new Object();
    private String classPath = "";
    private volatile TypedLineServer input;
    private String setup = "";

    InteractionsService(OutputStream protocolOut) {
        out = new DataOutputStream(new BufferedOutputStream(protocolOut, 1 << 16));
    }

    public static void main(String[] args) throws IOException {
        // The protocol owns standard output; anything else printed by mistake goes to standard error.
        final PrintStream protocolOut = System.out;
        System.setOut(System.err);
        final InteractionsService service = new InteractionsService(protocolOut);
        service.serve(new DataInputStream(new BufferedInputStream(System.in, 1 << 16)));
        service.close();
        System.exit(0);
    }

    /** A session and a few snippets, as a user's first minute would have them (see ServiceTraining). */
    static void train() {
        final InteractionsService service = new InteractionsService(OutputStream.nullOutputStream());
        service.newSession(0, "", "");
        int id = 0;
        for (String snippet : new String[] {"7/2", "int k = 20;", "k + 22", "String twice(String s) { return s + s; }",
                                            "twice(\"ab\").length()", "List.of(1, 2, 3).stream().mapToInt(i -> i).sum()",
                                            "1 +", "undefined + 1"})
            service.evaluate(++id, false, snippet);
        service.close();
    }

    void serve(DataInputStream in) throws IOException {
        while (true) {
            final byte[] message;
            try {
                final int length = in.readInt();
                if (length < 1 || length > MaxMessage)
                    throw new IOException("message of " + length + " bytes");
                message = new byte[length];
                in.readFully(message);
            } catch (EOFException end) {
                return; // the editor has gone
            }
            final DataInputStream fields = new DataInputStream(new ByteArrayInputStream(message));
            switch (fields.readByte()) {
            case 'N': {
                final int id = fields.readInt();
                final String path = CheckService.readString(fields);
                final String setup = CheckService.readString(fields);
                worker.execute(() -> newSession(id, path, setup));
                break;
            }
            case 'E': {
                final int id = fields.readInt();
                final boolean force = fields.readByte() != 0;
                final String source = CheckService.readString(fields);
                ++requested;
                worker.execute(() -> evaluate(id, force, source));
                break;
            }
            case 'T':
                typed.add(fields.readAllBytes());
                break;
            case 'S':
                stop();
                break;
            default:
                throw new IOException("unknown message " + message[0]);
            }
        }
    }

    /**
     * Stops the evaluation going on, or the next one when it has not started yet. The engine stops
     * only code that runs: a stop that comes while the snippet is still being compiled is repeated
     * until that evaluation ends, and never outlives it.
     */
    private void stop() {
        final long target;
        synchronized (stopLock) {
            if (evaluations >= requested)
                return; // nothing to stop
            target = evaluations + 1;
        }
        final Thread stopper = new Thread(() -> {
            for (int tries = 0; tries < 300; ++tries) {
                synchronized (stopLock) {
                    if (evaluations >= target)
                        return;
                    if (evaluating) {
                        // A read of System.in is no evaluation the engine can stop: it ends with the input.
                        if (reading)
                            typed.add(new byte[0]);
                        final JShell current = shell;
                        if (current != null)
                            current.stop();
                    }
                }
                try {
                    Thread.sleep(100);
                } catch (InterruptedException interrupted) {
                    return;
                }
            }
        }, "stop");
        stopper.setDaemon(true);
        stopper.start();
    }

    void close() {
        ended = true;
        closeInput();
        final JShell current = shell;
        if (current != null)
            current.close();
    }

    private void newSession(int id, String path, String setup) {
        final JShell old = shell;
        shell = null;
        if (old != null)
            old.close();
        classPath = path;
        this.setup = setup;
        final String note = startShell();
        send(reply -> {
            reply.writeByte('H');
            reply.writeInt(id);
            CheckService.writeString(reply, note);
        });
    }

    /** Starts a session; what of the setup could not be evaluated, or an empty text. */
    private String startShell() {
        typed.clear();
        final List<String> machineOptions = new ArrayList<>(List.of("-XX:+UseSerialGC", "-Xshare:auto",
            "-Dfile.encoding=UTF-8", "-Dstdout.encoding=UTF-8", "-Dstderr.encoding=UTF-8"));
        final JShell.Builder builder = JShell.builder()
            .in(new TypedInput())
            .out(new PrintStream(new Printed(0), true, StandardCharsets.UTF_8))
            .err(new PrintStream(new Printed(1), true, StandardCharsets.UTF_8));
        final String agentJar = SessionMachine.agentJar();
        closeInput();
        if (agentJar != null) {
            try {
                input = new TypedLineServer();
                machineOptions.addAll(List.of("-cp", agentJar, "-Dtolvane.input=" + input.address()));
                builder.executionEngine(new SessionMachine(), Map.of());
            } catch (IOException noSocket) {
                System.err.println("the engine's own input and execution: " + noSocket);
                input = null;
            }
        }
        final JShell fresh = builder.remoteVMOptions(machineOptions.toArray(new String[0])).build();
        // System.exit in the user's code ends the session's machine, not this one: a fresh session
        // takes its place at once, and the editor says so.
        fresh.onShutdown(gone -> worker.execute(() -> {
            if (shell != gone || ended)
                return;
            shell = null;
            startShell();
            send(message -> {
                message.writeByte('X');
                CheckService.writeString(message, SessionEnded);
            });
        }));
        if (!classPath.isEmpty())
            fresh.addToClasspath(classPath);
        // The imports also warm the compiler up, so that the first expression typed is answered at once.
        for (String line : DefaultImports)
            fresh.eval(line);
        shell = fresh;
        if (setup.isBlank())
            return "";
        final List<Piece> pieces = new ArrayList<>();
        split(setup, pieces);
        final List<Item> items = new ArrayList<>();
        for (Piece piece : pieces) {
            for (SnippetEvent event : fresh.eval(piece.source)) {
                if (event.causeSnippet() == null && event.status() == Snippet.Status.REJECTED)
                    describe(fresh, piece, event, items);
            }
        }
        return items.isEmpty() ? "" : "Part of the document could not be declared: " + items.get(0).message;
    }

    private void evaluate(int id, boolean force, String source) {
        final List<Item> items = new ArrayList<>();
        boolean complete = true;
        synchronized (stopLock) {
            evaluating = true;
            // An end of input left by a stop of an earlier evaluation is not this one's.
            typed.removeIf(line -> line.length == 0);
        }
        try {
            if (shell == null)
                startShell();
            final List<Piece> pieces = new ArrayList<>();
            complete = split(source, pieces) || force;
            if (complete) {
                for (Piece piece : pieces) {
                    if (!run(piece, items))
                        break;
                }
            }
        } catch (RuntimeException | java.lang.Error fault) {
            items.add(new Item(Error, "", "", "", "The evaluation failed: " + fault, -1, -1));
            shell = null; // the next evaluation starts afresh
        } finally {
            synchronized (stopLock) {
                evaluating = false;
                ++evaluations;
            }
        }
        final boolean answered = complete;
        send(reply -> {
            reply.writeByte('R');
            reply.writeInt(id);
            reply.writeByte(answered ? 1 : 0);
            final List<Item> shown = items.size() > MaxItems ? items.subList(0, MaxItems) : items;
            reply.writeInt(shown.size());
            for (Item item : shown) {
                reply.writeByte(item.kind);
                CheckService.writeString(reply, item.name);
                CheckService.writeString(reply, item.value);
                CheckService.writeString(reply, item.type);
                CheckService.writeString(reply, item.message);
                reply.writeInt(item.start);
                reply.writeInt(item.end);
            }
        });
    }

    /** One snippet of the input and where it starts there. */
    private static final class Piece {
        final String source;
        final int at;
        Piece(String source, int at) {
            this.source = source;
            this.at = at;
        }
    }

    /** Cuts the input into snippets; false when the last one is not finished yet. */
    private boolean split(String source, List<Piece> pieces) {
        final SourceCodeAnalysis analysis = shell.sourceCodeAnalysis();
        String rest = source;
        int at = 0;
        while (!rest.isBlank()) {
            final SourceCodeAnalysis.CompletionInfo info = analysis.analyzeCompletion(rest);
            switch (info.completeness()) {
            case DEFINITELY_INCOMPLETE:
            case CONSIDERED_INCOMPLETE:
                pieces.add(new Piece(rest, at));
                return false;
            case EMPTY:
                return true;
            default:
                break;
            }
            final String snippet = info.source();
            final int consumed = rest.length() - info.remaining().length();
            if (snippet == null || consumed <= 0) {
                pieces.add(new Piece(rest, at));
                return true;
            }
            final int lead = rest.length() - rest.stripLeading().length();
            pieces.add(new Piece(snippet, at + lead));
            at += consumed;
            rest = info.remaining();
        }
        return true;
    }

    /** Evaluates one snippet; false when what follows it cannot be run (the session ended). */
    private boolean run(Piece piece, List<Item> items) {
        JShell current = shell;
        List<SnippetEvent> events;
        try {
            events = current.eval(piece.source);
        } catch (IllegalStateException closed) {
            // The session ended before its end was announced: the input goes to a fresh one.
            if (shell == current) {
                shell = null;
                startShell(); // the setup's note was told at the start
                items.add(new Item(Note, "", "", "", SessionEnded, -1, -1));
            }
            current = shell;
            events = current.eval(piece.source);
        }
        if (shell != current || ended)
            return false;
        for (SnippetEvent event : events) {
            if (event.causeSnippet() != null)
                continue; // a declaration that changed because of this one
            describe(current, piece, event, items);
        }
        return true;
    }

    private void describe(JShell current, Piece piece, SnippetEvent event, List<Item> items) {
        final Snippet snippet = event.snippet();
        if (event.status() == Snippet.Status.REJECTED) {
            final List<Diag> diagnostics = current.diagnostics(snippet).collect(Collectors.toList());
            for (Diag diag : diagnostics) {
                if (!diag.isError())
                    continue;
                int start = -1;
                int end = -1;
                if (diag.getStartPosition() >= 0) {
                    start = clamp(piece.at + diag.getStartPosition(), piece);
                    end = Math.max(start, clamp(piece.at + diag.getEndPosition(), piece));
                }
                items.add(new Item(Error, "", "", "", clip(message(diag)), start, end));
            }
            if (diagnostics.stream().noneMatch(Diag::isError))
                items.add(new Item(Error, "", "", "", "This cannot be evaluated.", -1, -1));
            return;
        }
        final JShellException thrown = event.exception();
        if (thrown != null) {
            items.add(new Item(Exception, "", "", "", clip(describe(thrown)), -1, -1));
            return;
        }
        if (snippet instanceof ExpressionSnippet) {
            final ExpressionSnippet expression = (ExpressionSnippet) snippet;
            if (event.value() != null && !"void".equals(expression.typeName()))
                items.add(new Item(Value, expression.name(), clip(event.value()), expression.typeName(), "", -1, -1));
            return;
        }
        if (snippet instanceof VarSnippet) {
            final VarSnippet variable = (VarSnippet) snippet;
            final String value = event.value() == null ? "" : clip(event.value());
            final boolean temporary = variable.subKind() == Snippet.SubKind.TEMP_VAR_EXPRESSION_SUBKIND;
            items.add(new Item(Value, temporary ? "" : variable.name(), value, variable.typeName(),
                               unresolved(current, variable), -1, -1));
            return;
        }
        if (snippet instanceof MethodSnippet) {
            final MethodSnippet method = (MethodSnippet) snippet;
            items.add(new Item(Declared, "method " + method.name() + "(" + method.parameterTypes() + ")", "", "",
                               unresolved(current, method), -1, -1));
            return;
        }
        if (snippet instanceof TypeDeclSnippet) {
            final TypeDeclSnippet type = (TypeDeclSnippet) snippet;
            final String kind;
            switch (type.subKind()) {
            case INTERFACE_SUBKIND: kind = "interface "; break;
            case ENUM_SUBKIND: kind = "enum "; break;
            case ANNOTATION_TYPE_SUBKIND: kind = "annotation "; break;
            default:
                // Records came after the release this is built for.
                kind = type.subKind().name().startsWith("RECORD") ? "record " : "class ";
                break;
            }
            items.add(new Item(Declared, kind + type.name(), "", "", unresolved(current, type), -1, -1));
            return;
        }
        if (snippet instanceof ImportSnippet)
            items.add(new Item(Declared, "import " + ((ImportSnippet) snippet).fullname(), "", "", "", -1, -1));
        // Statements show only what they print.
    }

    /** The compiler's message without the name of the class the engine wraps snippets in. */
    private static String message(Diag diag) {
        return diag.getMessage(Locale.getDefault()).lines()
            .filter(line -> !line.strip().equals("location: class"))
            .collect(Collectors.joining("\n"));
    }

    private static String unresolved(JShell current, DeclarationSnippet snippet) {
        final List<String> missing = current.unresolvedDependencies(snippet).collect(Collectors.toList());
        return missing.isEmpty() ? "" : "it cannot be used until " + String.join(", ", missing) + " is declared";
    }

    private static int clamp(long position, Piece piece) {
        return (int) Math.max(piece.at, Math.min(position, piece.at + (long) piece.source.length()));
    }

    private static String clip(String text) {
        return text.length() <= MaxText ? text : text.substring(0, MaxText) + "...";
    }

    /** The exception and the lines of the user's code it went through. */
    static String describe(JShellException thrown) {
        final StringBuilder text = new StringBuilder();
        if (thrown instanceof EvalException) {
            final EvalException evalException = (EvalException) thrown;
            text.append(evalException.getExceptionClassName());
            if (thrown.getMessage() != null)
                text.append(": ").append(thrown.getMessage());
        } else if (thrown instanceof UnresolvedReferenceException) {
            final DeclarationSnippet snippet = ((UnresolvedReferenceException) thrown).getSnippet();
            text.append(snippet.name()).append(" cannot be used until what it needs is declared");
        } else {
            text.append(thrown);
        }
        for (StackTraceElement frame : thrown.getStackTrace()) {
            final String className = frame.getClassName();
            if (className.startsWith("jdk.jshell.") || className.startsWith("jdk.internal.reflect.")
                || className.startsWith("java.lang.reflect."))
                break;
            text.append("\n    at ");
            final String file = frame.getFileName();
            if (file != null && file.startsWith("#")) {
                // A line the user typed: the snippet's number and the line in it.
                final String method = frame.getMethodName();
                if (!method.equals("do_it$"))
                    text.append(method);
                text.append('(').append(file).append(':').append(frame.getLineNumber()).append(')');
            } else {
                text.append(frame);
            }
        }
        return text.toString();
    }

    private static final class Item {
        final int kind;
        final String name, value, type, message;
        final int start, end;

        Item(int kind, String name, String value, String type, String message, int start, int end) {
            this.kind = kind;
            this.name = name;
            this.value = value == null ? "" : value;
            this.type = type == null ? "" : type;
            this.message = message;
            this.start = start;
            this.end = end;
        }
    }

    interface Writer {
        void write(DataOutputStream reply) throws IOException;
    }

    /** Builds one message and sends it whole: output and replies come from different threads. */
    void send(Writer writer) {
        final ByteArrayOutputStream bytes = new ByteArrayOutputStream(256);
        try {
            writer.write(new DataOutputStream(bytes));
            synchronized (out) {
                out.writeInt(bytes.size());
                bytes.writeTo(out);
                out.flush();
            }
        } catch (IOException gone) {
            // The editor has gone; the input's end will end the service.
        }
    }

    /** What the user's code prints, passed on as it comes. */
    private final class Printed extends OutputStream {
        private final int channel;

        Printed(int channel) {
            this.channel = channel;
        }

        @Override
        public void write(int b) {
            write(new byte[] {(byte) b}, 0, 1);
        }

        @Override
        public void write(byte[] b, int off, int len) {
            send(message -> {
                message.writeByte('O');
                message.writeByte(channel);
                message.write(b, off, len);
            });
        }
    }

    /** The next line typed for the session's System.in (asked of the editor when none waits); empty: the end. */
    private byte[] nextLine() {
        byte[] next = typed.poll();
        if (next != null)
            return next;
        reading = true;
        send(message -> message.writeByte('I'));
        try {
            return typed.take();
        } catch (InterruptedException interrupted) {
            Thread.currentThread().interrupt();
            return new byte[0];
        } finally {
            reading = false;
        }
    }

    private void closeInput() {
        final TypedLineServer current = input;
        input = null;
        if (current != null)
            current.close();
    }

    /**
     * Serves the lines the user types to the session's machine (InteractionsAgent.TypedLines): one
     * line for each ask, whole, and -1 for the end of the input.
     */
    private final class TypedLineServer {
        private final ServerSocket listener = new ServerSocket(0, 1, InetAddress.getLoopbackAddress());
        private final String token = Long.toHexString(new SecureRandom().nextLong());
        private volatile Socket connection;

        TypedLineServer() throws IOException {
            final Thread serving = new Thread(this::serve, "typed lines");
            serving.setDaemon(true);
            serving.start();
        }

        String address() {
            return listener.getLocalPort() + ":" + token;
        }

        private void serve() {
            try {
                while (true) {
                    final Socket socket = listener.accept();
                    socket.setTcpNoDelay(true);
                    final InputStream asks = socket.getInputStream();
                    if (!token.equals(readLine(asks))) {
                        socket.close(); // not the session's machine
                        continue;
                    }
                    connection = socket;
                    final DataOutputStream lines = new DataOutputStream(socket.getOutputStream());
                    while (asks.read() >= 0) {
                        final byte[] line = nextLine();
                        lines.writeInt(line.length == 0 ? -1 : line.length);
                        lines.write(line);
                        lines.flush();
                    }
                    return;
                }
            } catch (IOException closed) {
                // the session ended
            }
        }

        private String readLine(InputStream in) throws IOException {
            final StringBuilder text = new StringBuilder();
            for (int c = in.read(); c >= 0 && c != '\n' && text.length() < 64; c = in.read())
                text.append((char) c);
            return text.toString();
        }

        void close() {
            try {
                listener.close();
                final Socket socket = connection;
                if (socket != null)
                    socket.close();
            } catch (IOException ignored) {
                // closing what is already gone
            }
        }
    }

    /** The session's System.in through the engine's own input channel, when the agent is not there. */
    private final class TypedInput extends InputStream {
        private byte[] buffer = new byte[0];
        private int at;

        @Override
        public int read() throws IOException {
            final byte[] one = new byte[1];
            return read(one, 0, 1) < 0 ? -1 : one[0] & 0xff;
        }

        @Override
        public int read(byte[] b, int off, int len) throws IOException {
            if (len == 0)
                return 0;
            if (at == buffer.length) {
                final byte[] next = nextLine();
                if (next.length == 0)
                    return -1; // stopped
                buffer = next;
                at = 0;
            }
            final int n = Math.min(len, buffer.length - at);
            System.arraycopy(buffer, at, b, off, n);
            at += n;
            return n;
        }
    }
}
