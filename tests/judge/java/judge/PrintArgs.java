package judge;

/** Prints its arguments as UTF-16 code units in hex, so no console encoding is involved. */
public final class PrintArgs {
    public static void main(String[] args) {
        if (args == null) {
            System.out.println("args=null");
            return;
        }
        System.out.println("count=" + args.length);
        for (int i = 0; i < args.length; i++) {
            StringBuilder units = new StringBuilder();
            for (int k = 0; k < args[i].length(); k++) {
                units.append(String.format("%04x", (int) args[i].charAt(k)));
            }
            System.out.println("arg" + i + "=" + units);
        }
    }
}
