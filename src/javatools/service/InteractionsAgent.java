import java.io.DataInputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.io.PrintStream;
import java.lang.reflect.Method;
import java.net.InetAddress;
import java.net.Socket;
import java.nio.charset.StandardCharsets;
import java.util.HashMap;
import java.util.Map;
import java.util.function.Consumer;

import jdk.jshell.execution.RemoteExecutionControl;
import jdk.jshell.execution.Util;

/**
 * The side of an Interactions session that runs in the session's own virtual machine, where the
 * user's code runs. It lives in a jar of its own, so that no class of the services shadows a class
 * of the user's.
 *
 * Two things differ from the engine's own agent. Its connection sends each message at once (no
 * waiting to gather small writes, which cost every evaluation tens of milliseconds). And System.in
 * reads the lines the user types whole, from a connection of its own (the property tolvane.input,
 * "port:token"): the engine's input channel asks for one byte at a time and, now and then, for one
 * more than the reader wanted, which asked the user for a line nobody was reading.
 */
public final class InteractionsAgent extends RemoteExecutionControl {
    public static void main(String[] args) throws Exception {
        final Socket socket = new Socket(InetAddress.getLoopbackAddress(), Integer.parseInt(args[0]));
        socket.setTcpNoDelay(true);
        final Map<String, Consumer<OutputStream>> outputs = new HashMap<>();
        outputs.put("out", stream -> System.setOut(new PrintStream(stream, true, StandardCharsets.UTF_8)));
        outputs.put("err", stream -> System.setErr(new PrintStream(stream, true, StandardCharsets.UTF_8)));
        final Map<String, Consumer<InputStream>> inputs = new HashMap<>();
        final String typed = System.getProperty("tolvane.input", "");
        if (typed.contains(":"))
            System.setIn(new TypedLines(typed));
        else
            inputs.put("in", System::setIn);
        Util.forwardExecutionControlAndIO(new InteractionsAgent(), socket.getInputStream(), socket.getOutputStream(),
                                          outputs, inputs);
    }

    // The service stops a runaway evaluation through the debugger: it looks for this class's frames
    // of invoke and varValue, so they must be this class's own.
    @Override
    protected String invoke(Method doit) throws Exception {
        return super.invoke(doit);
    }

    @Override
    public String varValue(String className, String varName)
        throws RunException, EngineTerminationException, InternalException {
        return super.varValue(className, varName);
    }

    /** System.in: asks the service for a line when the last one is used up, and returns it whole. */
    static final class TypedLines extends InputStream {
        private final String address;
        private Socket socket;
        private DataInputStream from;
        private OutputStream ask;
        private byte[] line = new byte[0];
        private int at;

        TypedLines(String address) {
            this.address = address;
        }

        @Override
        public synchronized int read() throws IOException {
            final byte[] one = new byte[1];
            return read(one, 0, 1) < 0 ? -1 : one[0] & 0xff;
        }

        @Override
        public synchronized int read(byte[] b, int off, int len) throws IOException {
            if (len == 0)
                return 0;
            while (at == line.length) {
                connect();
                ask.write('?');
                ask.flush();
                final int length = from.readInt();
                if (length < 0)
                    return -1; // the input ended, or the evaluation was stopped
                line = new byte[length];
                from.readFully(line);
                at = 0;
            }
            final int n = Math.min(len, line.length - at);
            System.arraycopy(line, at, b, off, n);
            at += n;
            return n;
        }

        @Override
        public synchronized int available() {
            return line.length - at;
        }

        private void connect() throws IOException {
            if (socket != null)
                return;
            final int colon = address.indexOf(':');
            socket = new Socket(InetAddress.getLoopbackAddress(), Integer.parseInt(address.substring(0, colon)));
            socket.setTcpNoDelay(true);
            ask = socket.getOutputStream();
            // The service answers only the machine it started.
            ask.write(address.substring(colon + 1).getBytes(StandardCharsets.US_ASCII));
            ask.write('\n');
            from = new DataInputStream(socket.getInputStream());
        }
    }
}
